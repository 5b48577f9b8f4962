// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicelink.h"
#include "imagefile.h"
#include "linkfacts.h"
#include "linkwords.h"
#include "protocol.h"
#include "serialport.h"
#include "ticker.h"
#include "trackercore.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <optional>

// Everything the device sees, and every tick, in order: "open NAME", "close",
// "dtr 1", "rts 0", "W 1B44" (one write), "T" (one tick).
using Trace = QStringList;

// Runs of ticks shortened to "T*n", so long traces read and compare well.
inline QString compact(const Trace &trace)
{
    QString text = trace.join(u' ');
    static const QRegularExpression ticks(QStringLiteral("(?:\\bT\\b ?)+"));
    QString out;
    qsizetype last = 0;
    auto it = ticks.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const auto n = m.captured().count(u'T');
        out += n == 1 ? QStringLiteral("T") : QStringLiteral("T*%1").arg(n);
        if (m.captured().endsWith(u' '))
            out += u' ';
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

// A 127-byte image whose bytes all differ from their neighbours.
inline QByteArray image127()
{
    QByteArray image;
    for (int i = 0; i < 127; ++i)
        image.append(char((i * 37 + 11) % 256));
    return image;
}

inline QString hexOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

// The trace of sending `bytes` one by one, each followed by a tick.
inline QString bytesWithTicks(const QByteArray &bytes)
{
    QStringList parts;
    for (char b : bytes)
        parts << QStringLiteral("W ") + hexOf(QByteArray(1, b)) << QStringLiteral("T");
    return parts.join(u' ');
}

// A reset of a port without modem-control lines, as the trace shows it.
inline const QString ResetTrace = QStringLiteral("dtr 0 rts 0 close T*100 open P dtr 1 rts 1 W 1B");

// A timer that ticks whenever the event loop would otherwise sleep, so tests
// count ticks exactly and do not wait for them. Its clock moves on by the
// next of `steps` at each tick: a whole tick each unless a test makes them
// late, early or doubled, as a loaded system delivers them.
class FakeTicker : public tavlo::Ticker {
public:
    explicit FakeTicker(Trace &trace)
        : m_trace(trace)
    {
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                [this] {
                    if (!m_running || m_pending)
                        return;
                    m_pending = true;
                    QMetaObject::invokeMethod(
                        this,
                        [this] {
                            m_pending = false;
                            if (!m_running)
                                return;
                            m_trace << QStringLiteral("T");
                            m_now += steps.at(m_step++ % steps.size());
                            emit tick();
                        },
                        Qt::QueuedConnection);
                });
    }
    void start() override { m_running = true; }
    void stop() override { m_running = false; }
    std::chrono::nanoseconds now() const override { return m_now; }
    bool isRunning() const { return m_running; }

    QList<std::chrono::microseconds> steps{std::chrono::milliseconds(10)};

private:
    Trace &m_trace;
    bool m_running = false;
    bool m_pending = false;
    std::chrono::nanoseconds m_now{std::chrono::hours(1)};
    qsizetype m_step = 0;
};

// A port with the simulated tracker behind it (the simulator's own core):
// ESC "D" and the bytes after it go into memory, ESC ESC "U" is answered with
// the count 127 and the memory; its faults are the simulator's.
class FakePort : public tavlo::SerialPort {
public:
    explicit FakePort(Trace &trace)
        : m_trace(trace)
    {
    }

    bool open(const QString &name) override
    {
        m_name = name;
        if (openFails != tavlo::OpenFailure::None)
            return false;
        m_trace << QStringLiteral("open ") + name;
        m_open = true;
        m_input.clear();
        m_core.reopened();
        return true;
    }
    void close() override
    {
        m_trace << QStringLiteral("close");
        m_open = false;
        m_core.reopened();
    }
    bool isOpen() const override { return m_open; }
    QString name() const override { return m_name; }
    tavlo::OpenFailure openFailure() const override { return openFails; }
    QString errorString() const override { return QStringLiteral("scripted failure"); }
    // A closed port cannot change its lines: the trace says so. Like the
    // simulator's pseudo-terminal, the port has no modem-control lines unless
    // `modemLines` says so; the trace shows what was asked all the same.
    bool setDataTerminalReady(bool on) override { return line("dtr", on); }
    bool setRequestToSend(bool on) override { return line("rts", on); }

    void write(const QByteArray &bytes) override
    {
        if (!m_open)
            return;
        m_trace << QStringLiteral("W ") + QString::fromLatin1(bytes.toHex().toUpper());
        if (onWrite)
            onWrite(bytes);
        if (--writesBeforeLoss == 0) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_open = false;
                    emit lost(QStringLiteral("Input/output error"));
                },
                Qt::QueuedConnection);
            return;
        }
        const tavlo::TrackerCore::Reaction reaction = m_core.receive(bytes);
        if (!reaction.answer.isEmpty())
            QMetaObject::invokeMethod(
                this,
                [this, answer = reaction.answer] {
                    m_input += answer;
                    emit readyRead();
                },
                Qt::QueuedConnection);
    }
    // The device goes away now, as an unplugged adapter does.
    void vanish()
    {
        m_open = false;
        emit lost(QStringLiteral("Input/output error"));
    }
    qint64 bytesAvailable() const override { return m_input.size(); }
    QByteArray readAll() override { return std::exchange(m_input, QByteArray()); }

private:
    tavlo::TrackerCore m_core;

public:
    // Faults and answers for the next dumps: the tracker's own switches.
    tavlo::OpenFailure openFails = tavlo::OpenFailure::None;
    QList<QByteArray> &replies = m_core.faults.replies; // answers in this order; then the memory
    bool &silent = m_core.faults.silent;
    bool modemLines = false;
    int writesBeforeLoss = -1;
    QByteArray &memory = m_core.memory;
    std::function<void(const QByteArray &)> onWrite;

private:
    bool line(const char *name, bool on)
    {
        m_trace << QStringLiteral("%1 %2%3")
                       .arg(QLatin1String(name))
                       .arg(on)
                       .arg(m_open ? QString() : QStringLiteral("(closed)"));
        return m_open && modemLines;
    }

    Trace &m_trace;
    QString m_name;
    bool m_open = false;
    QByteArray m_input;
};

// What the link shows and asks, recorded as the window would see it, and
// answered from a script: it attaches to a link and, like the window, saves
// what a read hands out. `facts` holds the phases and the progress in them.
class FakeHost : public QObject {
public:
    void attach(tavlo::DeviceLink &link)
    {
        using tavlo::DeviceLink;
        m_link = &link;
        connect(&link, &DeviceLink::stageChanged, this,
                [this](tavlo::LinkStage stage) { statuses << tavlo::words::stageText(stage); });
        connect(&link, &DeviceLink::byteWritten, this,
                [this](unsigned char byte) { statuses << tavlo::words::byteStatus(byte); });
        connect(&link, &DeviceLink::phaseChanged, this,
                [this](tavlo::LinkPhase phase) { facts << phaseName(phase); });
        connect(&link, &DeviceLink::progressed, this, [this](qint64 done, qint64 total) {
            facts << QStringLiteral("%1/%2").arg(done).arg(total);
            if (onFill)
                onFill(done);
        });
        connect(&link, &DeviceLink::asked, this, &FakeHost::answer);
        connect(&link, &DeviceLink::problemReported, this, &FakeHost::heard);
        connect(&link, &DeviceLink::finished, this, [this](const tavlo::LinkResult &result) {
            if (result.problem)
                heard(*result.problem);
        });
    }

    QStringList statuses;
    QStringList facts;
    QStringList asked;
    QStringList reports;
    bool writeAnyLength = false;
    bool acceptOddReply = false;
    QList<bool> retries;
    std::optional<QString> saveTo;   // where a read goes; none: the dialog is cancelled
    std::optional<QString> backupTo; // where a backup goes
    std::function<void(qint64)> onFill;
    std::function<void()> onAsk; // runs while a question or dialog is open

private:
    void heard(const tavlo::LinkProblem &problem)
    {
        const tavlo::words::Report report = tavlo::words::describe(problem);
        reports << report.title + u'|' + report.message;
    }

    void answer(const tavlo::LinkQuestion &question)
    {
        using Kind = tavlo::LinkQuestion::Kind;
        switch (question.kind) {
        case Kind::Length:
            asked << QStringLiteral("length %1").arg(question.size);
            return answerWith(question.token, writeAnyLength);
        case Kind::Reply:
            asked << QStringLiteral("reply");
            return answerWith(question.token, acceptOddReply);
        case Kind::Retry:
            asked << QStringLiteral("retry");
            return answerWith(question.token, !retries.isEmpty() && retries.takeFirst());
        case Kind::Save:
            return store(question);
        }
    }

    void answerWith(quint64 token, bool yes)
    {
        if (onAsk)
            onAsk();
        m_link->answer(token, yes); // moot, and let go, after a stop or a lost port
    }

    // As the window does: the file is chosen, then written, unless the
    // action ended meanwhile.
    void store(const tavlo::LinkQuestion &question)
    {
        const bool backup = question.use == tavlo::ReplyUse::Backup;
        if (!backup)
            asked << QStringLiteral("save");
        if (onAsk && !backup)
            onAsk();
        if (!m_link->awaitsAnswer())
            return;
        const std::optional<QString> path = backup ? backupTo : saveTo;
        if (!path)
            return m_link->cancelled(question.token);
        const tavlo::Status<> saved = tavlo::writeFileSafely(*path, question.memory);
        m_link->saved(question.token, *path, bool(saved), saved ? QString() : saved.error());
    }

    static QString phaseName(tavlo::LinkPhase phase)
    {
        switch (phase) {
        case tavlo::LinkPhase::Writing:
            return QStringLiteral("writing");
        case tavlo::LinkPhase::Settling:
            return QStringLiteral("settling");
        case tavlo::LinkPhase::Reading:
            return QStringLiteral("reading");
        case tavlo::LinkPhase::Comparing:
            return QStringLiteral("comparing");
        case tavlo::LinkPhase::Resetting:
            return QStringLiteral("resetting");
        case tavlo::LinkPhase::Pausing:
            break;
        }
        return QStringLiteral("pausing");
    }

    tavlo::DeviceLink *m_link = nullptr;
};

// Runs an action of the link to its end on a blocking event loop, so that the
// fake ticker ticks: its result, or nothing when it could not start.
inline std::optional<tavlo::LinkResult> runAction(tavlo::DeviceLink &link,
                                                  const std::function<bool()> &start)
{
    std::optional<tavlo::LinkResult> result;
    QEventLoop loop;
    const QMetaObject::Connection done = QObject::connect(&link, &tavlo::DeviceLink::finished,
                                                          &loop, [&](const tavlo::LinkResult &r) {
                                                              result = r;
                                                              loop.quit();
                                                          });
    if (!start()) {
        QObject::disconnect(done);
        return std::nullopt;
    }
    if (!result)
        loop.exec();
    QObject::disconnect(done);
    return result;
}
