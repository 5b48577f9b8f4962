// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serialport.h"

#include <QString>

// The facts the link reports; the window and the tool put them into words
// and pictures of their own.
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
        EmptyImage,       // an image of no bytes: nothing to write or verify
        UnstableReplies,  // two reads of the memory differ: nothing was written
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

// Which progress a fill shows: the bytes written, or the bytes compared.
enum class Fill { Write, Verify };
// What a dump reply is read for.
enum class ReplyUse { Read, Backup, Verify };

} // namespace tavlo
