// SPDX-License-Identifier: GPL-3.0-or-later
#include "trackercore.h"

#include "protocol.h"

namespace tavlo {

using namespace protocol;

TrackerCore::Reaction TrackerCore::receive(const QByteArray &chunk)
{
    Reaction reaction;
    // The dump command is sent in one piece, so it ends whatever one read
    // returns, also behind the last bytes of a write when reading fell
    // behind. Image bytes come a tick apart, one a read: an image may hold
    // ESC ESC "U" without ending the write.
    const qsizetype dataEnd =
        m_writing && chunk.endsWith(DumpCommand) ? chunk.size() - DumpCommand.size() : chunk.size();
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        ++m_received;
        if (faults.hangupAfter >= 0 && m_received >= faults.hangupAfter) {
            reaction.notes << QStringLiteral("hanging up");
            reaction.hungUp = true;
            return reaction;
        }
        if (!m_writing || i >= dataEnd)
            command(chunk.at(i), reaction);
        else if (m_offset < memory.size())
            memory[m_offset++] = chunk.at(i);
    }
    return reaction;
}

void TrackerCore::reopened()
{
    m_writing = false;
    m_woken = false;
    m_recent.clear();
}

void TrackerCore::command(char byte, Reaction &reaction)
{
    if (faults.talker)
        return;
    if (!m_woken && byte == Esc) {
        m_woken = true;
        if (faults.stray)
            reaction.answer += QByteArray("\r\n?stray\r\n");
    }
    m_recent = (m_recent + byte).right(3);
    if (m_recent.endsWith(WriteCommand)) {
        m_writing = true;
        m_offset = 0;
        reaction.notes << QStringLiteral("write mode");
    } else if (m_recent == DumpCommand) {
        m_writing = false;
        m_recent.clear();
        reaction.answer += dump(reaction);
    }
}

QByteArray TrackerCore::dump(Reaction &reaction)
{
    if (!faults.replies.isEmpty())
        return faults.replies.takeFirst();
    if (faults.silent) {
        reaction.notes << QStringLiteral("dump asked, not answering");
        return QByteArray();
    }
    const int length = faults.count >= 0 ? faults.count : MemorySize;
    QByteArray reply = char(length) + memory.left(length);
    if (faults.corrupt >= 0 && faults.corrupt < length)
        reply[faults.corrupt + 1] = char(reply[faults.corrupt + 1] ^ 0x5A);
    if (faults.flaky >= 0 && faults.flaky < length && m_answered % 2 == 0)
        reply[faults.flaky + 1] = char(reply[faults.flaky + 1] ^ 0x5A);
    ++m_answered;
    if (faults.shortReply >= 0)
        reply.truncate(faults.shortReply);
    return reply;
}

} // namespace tavlo
