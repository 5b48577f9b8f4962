// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicerun.h"

#include "files.h"
#include "imagefile.h"
#include "stopsignals.h"

#include <cerrno>

#include <QEventLoop>

namespace tavlo::cli {

DeviceRun::DeviceRun(DeviceLink &link, RunPlan plan)
    : m_link(link)
    , m_plan(std::move(plan))
{
    connect(&m_link, &DeviceLink::report, this, &DeviceRun::report);
    connect(&m_link, &DeviceLink::fillBegun, this, [this](Fill fill) {
        m_stage = fill == Fill::Write ? "write " : "verify";
        emit progress(m_stage, 0, 1);
    });
    connect(&m_link, &DeviceLink::filled, this,
            [this](qint64 done, qint64 total) { emit progress(m_stage, done, total); });
    connect(&m_link, &DeviceLink::fillHidden, this, [this] { emit progress("", 0, 0); });
    // The length was checked before the port was opened.
    connect(&m_link, &DeviceLink::lengthQuestion, this,
            [this] { m_link.answer(m_plan.anyLength); });
    // Another memory size with --any-length; stray or extra bytes never.
    connect(&m_link, &DeviceLink::replyQuestion, this, [this](const DumpReply &reply, ReplyUse) {
        m_link.answer(m_plan.anyLength && reply.isExact());
    });
    connect(&m_link, &DeviceLink::retryQuestion, this, [this] {
        ++m_failures;
        const bool again = m_plan.retries > 0;
        if (again) {
            --m_plan.retries;
            emit retrying();
        }
        m_link.answer(again);
    });
    connect(&m_link, &DeviceLink::memoryRead, this, &DeviceRun::store);
    connect(&m_link, &DeviceLink::finished, this, [this](Outcome outcome) {
        if (m_settling)
            settled(outcome);
        else
            finish(outcome);
    });
}

Outcome DeviceRun::run()
{
    QEventLoop loop;
    connect(this, &DeviceRun::finished, &loop, &QEventLoop::quit);
    start();
    loop.exec();
    return m_outcome;
}

// The port is opened as choosing it in the window opens it; the device then
// has the settle time to wake.
void DeviceRun::start()
{
    if (!m_link.choosePort(m_plan.port)) {
        // On the event loop, as every other end comes.
        QMetaObject::invokeMethod(
            this, [this] { finish(Outcome::NoPort); }, Qt::QueuedConnection);
        return;
    }
    if (m_plan.settleMs <= 0)
        return begin();
    m_settling = true;
    m_link.settle(std::chrono::milliseconds(m_plan.settleMs));
}

void DeviceRun::settled(Outcome outcome)
{
    m_settling = false;
    if (outcome == Outcome::Completed)
        return begin();
    m_settleStopped = outcome == Outcome::Stopped;
    finish(outcome);
}

void DeviceRun::begin()
{
    switch (m_plan.action) {
    case DeviceAction::Write:
        m_link.writeAndVerify(m_plan.image, !m_plan.backup.isEmpty());
        return;
    case DeviceAction::Read:
        m_link.readToFile();
        return;
    case DeviceAction::Verify:
        m_link.verifyOnly(m_plan.image);
        return;
    }
}

// What the device held goes where the command line says, before anything is
// written.
void DeviceRun::store(const QByteArray &memory, ReplyUse use)
{
    const bool backup = use == ReplyUse::Backup;
    if (backup && m_plan.leaveAlone && m_plan.leaveAlone(memory)) {
        m_leftAlone = true;
        return m_link.cancelled();
    }
    const QString path = backup ? m_plan.backup : m_plan.saveTo;
    const Status<> saved = writeFileSafely(path, memory);
    if (!saved && files::leadsToStandardOutput(path)) {
        m_outputFailed = true;
        // A reader that went away (| head) stops the run as Ctrl-C would.
        if (errno == EPIPE)
            StopSignals::requestStop(StopSignals::BrokenPipe);
    }
    m_backupSaved = backup && saved;
    m_link.saved(path, bool(saved), saved ? QString() : saved.error());
}

void DeviceRun::finish(Outcome outcome)
{
    m_outcome = outcome;
    emit finished(outcome);
}

} // namespace tavlo::cli
