// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavlo {

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

    virtual void setStatus(const QString &text) = 0;
    // The byte just written, a hundred times a second.
    virtual void setByteStatus(const QString &text) { setStatus(text); }
    virtual void setStatusTone(StatusTone tone) = 0;

    // The progress display: the fill emptied in a colour and everything shown;
    // the fill emptied in a colour; the fill for `done` of `total` bytes; the
    // grey mark taking the fill's width; everything hidden.
    virtual void progressBegin(FillColour colour) = 0;
    virtual void progressEmpty(FillColour colour) = 0;
    virtual void progressFill(qint64 done, qint64 total) = 0;
    virtual void progressMark() = 0;
    virtual void progressHide() = 0;

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
    virtual void report(const QString &title, const QString &message) = 0;
};

} // namespace tavlo
