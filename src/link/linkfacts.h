// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dumpreply.h"
#include "serialport.h"

#include <QByteArray>
#include <QString>
#include <optional>

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

// What the link is doing on the line, with its progress where it has some.
enum class LinkPhase {
    Writing,   // ESC "D" and the image, one byte a tick: done of total bytes (filler too)
    Settling,  // the last byte is out; one tick before the device is read
    Reading,   // ESC ESC "U" and the reply
    Comparing, // the reply against the image: done of total bytes
    Resetting, // the lines low for a hold, then up again and one ESC
    Pausing,   // a plain wait of whole ticks
};

// How much of the image the device holds after an action: nothing of it,
// part of it (part old, part new), or all of it.
enum class Written { Nothing, Part, All };

// What a dump reply is read for.
enum class ReplyUse { Read, Backup, Verify };

// A failure the operator must hear about, with what it is about; the window
// and the tool put it into words.
struct LinkProblem {
    enum class Kind {
        NoPort,           // no port is open
        OpenFailed,       // the port could not be opened
        EmptyImage,       // an image of no bytes: nothing to write or verify
        NoReply,          // nothing came
        ReplyCutShort,    // part of a reply came
        NotADump,         // a reply that is not a memory dump: see `reply`
        UnstableReplies,  // two reads of the memory differ: nothing was written
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
    DumpReply reply; // the reply that was no memory dump
    ReplyUse use = ReplyUse::Read;
    bool duringWrite = false; // the action wrote: the device holds `written`
    Written written = Written::Nothing;
    qint64 bytesWritten = 0;
    qint64 imageSize = 0;
};

// How an action ended, and the problem that ended it or came with its end.
struct LinkResult {
    enum class End {
        Completed,    // verified, or read and saved, or settled
        VerifyFailed, // the device's memory differs from the image
        Cancelled,    // the caller said no, or chose no file
        Stopped,      // stop() ended it: the device was reset where it had begun
        Aborted,      // abort(): the port is closed, nothing reset
        Failed,       // see the problem
    };
    LinkResult() = default;
    LinkResult(End how, std::optional<LinkProblem> what = std::nullopt)
        : end(how)
        , problem(std::move(what))
    {
    }

    End end = End::Completed;
    // For Failed, what failed; after Completed or VerifyFailed, what went
    // wrong after the verdict (the port taken during the closing reset).
    std::optional<LinkProblem> problem;

    bool failedWith(LinkProblem::Kind kind) const
    {
        return end == End::Failed && problem && problem->kind == kind;
    }
};

// A question the caller answers, with the token the answer carries: an
// answer with another token (to a question no longer open) is let go.
struct LinkQuestion {
    enum class Kind {
        Length, // an image that is not 127 bytes long: write it all the same?
        Reply,  // a reply that is no memory dump: take it as the device's memory?
        Retry,  // after a failed verify: write again?
        Save,   // what was read, to be saved by the caller: saved() or cancelled()
    };
    LinkQuestion() = default;
    explicit LinkQuestion(Kind what)
        : kind(what)
    {
    }

    quint64 token = 0;
    Kind kind = Kind::Retry;
    qint64 size = 0;   // Length: the image's
    DumpReply reply;   // Reply: what came
    QByteArray memory; // Save: what to save
    ReplyUse use = ReplyUse::Read;
};

} // namespace tavlo
