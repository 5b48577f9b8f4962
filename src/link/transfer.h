// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The transfers a session runs, each a state machine on ticks and bytes;
// only the session and the tests see them.

#include "session.h"
#include "ticker.h"

#include <QByteArray>
#include <QString>
#include <chrono>

namespace tavlo {

class Transfer {
public:
    explicit Transfer(LinkSession &session)
        : m_session(session)
    {
    }
    virtual ~Transfer() = default;
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

    virtual void begin() = 0;
    virtual void tick() = 0;
    virtual void bytesArrived() {}
    // A reset's hold runs out whatever is asked meanwhile.
    virtual bool stoppable() const { return true; }

protected:
    LinkSession &session() { return m_session; }
    SerialPort &port() { return m_session.m_port; }
    void send(const QByteArray &bytes) { m_session.send(bytes); }
    // Sends, and tells whether this transfer still runs: a port may go away,
    // or a stop come, while it writes.
    bool sendAndGoOn(const QByteArray &bytes)
    {
        m_session.send(bytes);
        return m_session.m_current.get() == this;
    }
    void restartTicks() { m_session.restartTicks(); }
    std::chrono::nanoseconds now() const { return m_session.m_ticker.now(); }
    void stopTicks() { m_session.stopTicks(); }
    // Ends the transfer: nothing of this object may be touched after it.
    void finish(TransferEnd end) { m_session.finish(end); }
    void finishSoon(TransferEnd end) { m_session.finishSoon(end); }

private:
    LinkSession &m_session;
};

// ESC "D", each image byte and the filler, each followed by one tick, then
// one more tick after the last. A tick that comes before a whole tick has
// passed since the last byte (a second of two delivered at once, or one
// delivered early) is let go: the device needs the whole tick.
class WriteTransfer : public Transfer {
public:
    WriteTransfer(LinkSession &session, QByteArray image);
    void begin() override;
    void tick() override;

private:
    enum class State { Command, Image, Filler, Settle };
    void sendNext();
    bool sendByte(const QByteArray &bytes);

    QByteArray m_image;
    qint64 m_filler = 0;
    qint64 m_fillerSent = 0;
    State m_state = State::Command;
    std::chrono::nanoseconds m_sentAt{}; // when the last byte went out, on the ticker's clock
};

// ESC ESC "U", then the count byte, the bytes it announces, and a quiet
// time in which a byte more shows the reply was no memory dump.
class DumpTransfer : public Transfer {
public:
    using Transfer::Transfer;
    void begin() override;
    void tick() override;
    void bytesArrived() override;

private:
    enum class State { AwaitCount, AwaitRest, Quiet };
    void await(qint64 count);
    bool arrived();
    void advance();
    void countArrived();
    void restArrived();
    void reportProgress();

    State m_state = State::AwaitCount;
    qint64 m_awaited = 0; // bytes the state waits for
    qint64 m_seen = 0;    // bytes there at the last tick
    int m_idleTicks = 0;
    int m_quietTicks = 0;
};

// DTR and RTS low (or the port closed where only that drops them) for the
// hold, then the port open again, the lines up and one ESC.
class ResetTransfer : public Transfer {
public:
    using Transfer::Transfer;
    void begin() override;
    void tick() override;
    bool stoppable() const override { return false; }

private:
    QString m_name;
    bool m_keptOpen = true;
    int m_ticks = 0;
};

class PauseTransfer : public Transfer {
public:
    PauseTransfer(LinkSession &session, int ticks)
        : Transfer(session)
        , m_ticks(ticks)
    {
    }
    void begin() override;
    void tick() override;

private:
    int m_ticks = 0;
    int m_passed = 0;
};

} // namespace tavlo
