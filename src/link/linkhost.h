// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialport.h"

#include <QString>
#include <optional>

namespace tavlo {

// Where an action stands, as the status line shows it.
enum class LinkStage {
    ReadStarted,
    ReadFinished,
    ReadFailed,
    WriteStarted,
    WriteFinished,
    VerifyStarted,
    VerifyCompleted,
    VerifyFailed,
    NoReply,
    ReplyCutShort,
    PortLost,
    Stopped,
};

// How much of the image the device holds after an action: nothing of it,
// part of it (part old, part new), or all of it.
enum class Written { Nothing, Part, All };

// A failure the operator must hear about, with what it is about; the window
// and the tool put it into words.
struct LinkProblem {
    enum class Kind {
        NoPort,           // no port is open
        OpenFailed,       // the port could not be opened
        NoReply,          // nothing came
        ReplyCutShort,    // part of a reply came
        PortLost,         // the port went away
        SavedButPortLost, // the read was saved, the reset found no port
        ReopenFailed,     // a reset closed the port and could not open it again
        BackupNotSaved,   // nothing was written
        SaveFailed,       // what was read could not be saved
    };
    Kind kind = Kind::NoPort;
    QString port;
    OpenFailure openFailure = OpenFailure::None;
    QString reason;      // the system's words, where it gave some
    QString path;        // the file saved, or not saved
    qint64 received = 0; // bytes of a reply cut short
    qint64 expected = 0;
    bool duringWrite = false; // for a lost port: the device holds `written`
    Written written = Written::Nothing;
    qint64 bytesWritten = 0;
    qint64 imageSize = 0;
};
enum class StatusTone { Highlight, ButtonText };
enum class FillColour { Red, Green };
// What a dump reply is read for.
enum class ReplyUse { Read, Backup, Verify };
struct DumpReply;

// What the device link shows and asks while it works: the window answers with
// its status line, progress bar and message boxes, the command-line tool with
// its terminal.
class LinkHost {
public:
    virtual ~LinkHost() = default;

    // What a host without a display leaves out has an empty default.
    virtual void setStage(LinkStage) {}
    // The byte just written, a hundred times a second.
    virtual void byteWritten(unsigned char) {}
    virtual void setStatusTone(StatusTone) {}

    // The progress display: the fill emptied in a colour and everything shown;
    // the fill emptied in a colour; the fill for `done` of `total` bytes; the
    // grey mark taking the fill's width; everything hidden.
    virtual void progressBegin(FillColour) {}
    virtual void progressEmpty(FillColour) {}
    virtual void progressFill(qint64 /*done*/, qint64 /*total*/) {}
    virtual void progressMark() {}
    virtual void progressHide() {}

    // An image that is not 127 bytes long: write it all the same?
    virtual bool confirmLength(qint64 size) = 0;
    // A reply that is not the count 127 and 127 memory bytes: take it as the
    // device's memory all the same?
    virtual bool acceptReply(const DumpReply &reply, ReplyUse use) = 0;
    // After a failed verify: write again?
    virtual bool askRetry() = 0;
    // Where to save what was read; no value to cancel.
    virtual std::optional<QString> askSaveFile() = 0;
    // A failure the operator must see.
    virtual void report(const LinkProblem &problem) = 0;
};

} // namespace tavlo
