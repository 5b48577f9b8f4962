// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicerun.h"

#include "files.h"
#include "imagefile.h"
#include "stopsignals.h"

#include <QEventLoop>
#include <cerrno>

namespace tavlo {

DeviceRun::DeviceRun(DeviceLink &link, RunPlan plan)
    : m_link(link)
    , m_plan(std::move(plan))
{
    connect(&m_link, &DeviceLink::problemReported, this, &DeviceRun::report);
    connect(&m_link, &DeviceLink::phaseChanged, this, [this](LinkPhase phase) {
        switch (phase) {
        case LinkPhase::Writing:
        case LinkPhase::Reading:
        case LinkPhase::Comparing:
            m_phase = phase;
            emit progress(phase, 0, 1);
            return;
        case LinkPhase::Resetting:
            emit progress(m_phase, 0, 0);
            return;
        default:
            return;
        }
    });
    connect(&m_link, &DeviceLink::progressed, this,
            [this](qint64 done, qint64 total) { emit progress(m_phase, done, total); });
    connect(&m_link, &DeviceLink::asked, this, &DeviceRun::answer);
    connect(&m_link, &DeviceLink::finished, this, &DeviceRun::linkFinished);
}

void DeviceRun::linkFinished(const LinkResult &result)
{
    switch (m_state) {
    case State::Settling:
        return settled(result);
    case State::Acting:
        return finish(result);
    case State::Releasing:
        m_state = State::Ended;
        emit released();
        return;
    case State::Idle:
    case State::Ended:
        return;
    }
}

LinkResult DeviceRun::run()
{
    QEventLoop loop;
    connect(this, &DeviceRun::finished, &loop, &QEventLoop::quit);
    start();
    loop.exec();
    return m_result;
}

// The port is opened as choosing it in the window opens it; the device then
// has the settle time to wake.
void DeviceRun::start()
{
    if (!m_link.choosePort(m_plan.port)) {
        // On the event loop, as every other end comes.
        QMetaObject::invokeMethod(
            this,
            [this] {
                LinkProblem none;
                none.kind = LinkProblem::Kind::OpenFailed;
                none.port = m_plan.port;
                finish({LinkResult::End::Failed, none});
            },
            Qt::QueuedConnection);
        return;
    }
    if (m_plan.settleMs <= 0)
        return begin();
    m_state = State::Settling;
    m_link.settle(std::chrono::milliseconds(m_plan.settleMs));
}

void DeviceRun::release()
{
    m_state = State::Releasing;
    if (!m_link.release()) { // another action holds the link: none can
        m_state = State::Ended;
        QMetaObject::invokeMethod(this, &DeviceRun::released, Qt::QueuedConnection);
    }
}

void DeviceRun::releaseAndWait()
{
    QEventLoop loop;
    connect(this, &DeviceRun::released, &loop, &QEventLoop::quit);
    release();
    loop.exec();
}

void DeviceRun::settled(const LinkResult &result)
{
    if (result.end == LinkResult::End::Completed)
        return begin();
    m_settleStopped = result.end == LinkResult::End::Stopped;
    finish(result);
}

void DeviceRun::begin()
{
    m_state = State::Acting;
    bool started = false;
    switch (m_plan.action) {
    case DeviceAction::Write:
        started = m_link.write(m_plan.image, !m_plan.backup.isEmpty());
        break;
    case DeviceAction::Read:
        started = m_link.read();
        break;
    case DeviceAction::Verify:
        started = m_link.verify(m_plan.image);
        break;
    }
    if (!started) // reported: no port, or nothing to write
        QMetaObject::invokeMethod(
            this, [this] { finish({LinkResult::End::Cancelled}); }, Qt::QueuedConnection);
}

// The link's questions, answered as the command line says: the length was
// checked before the port was opened; another memory size with
// --any-length, stray or extra bytes never; write again up to --retries.
void DeviceRun::answer(const LinkQuestion &question)
{
    switch (question.kind) {
    case LinkQuestion::Kind::Length:
        return m_link.answer(question.token, m_plan.anyLength);
    case LinkQuestion::Kind::Reply:
        return m_link.answer(question.token, m_plan.anyLength && question.reply.isExact());
    case LinkQuestion::Kind::Retry: {
        ++m_failures;
        const bool again = m_plan.retries > 0;
        if (again) {
            --m_plan.retries;
            emit retrying();
        }
        return m_link.answer(question.token, again);
    }
    case LinkQuestion::Kind::Save:
        return store(question);
    }
}

// What the device held goes where the command line says, before anything is
// written.
void DeviceRun::store(const LinkQuestion &question)
{
    const bool backup = question.use == ReplyUse::Backup;
    if (backup && m_plan.leaveAlone && m_plan.leaveAlone(question.memory)) {
        m_leftAlone = true;
        return m_link.cancelled(question.token);
    }
    const QString path = backup ? m_plan.backup : m_plan.saveTo;
    const Status<> saved = writeFileSafely(path, question.memory);
    if (!saved && files::leadsToStandardOutput(path)) {
        m_outputFailed = true;
        // A reader that went away (| head) stops the run as Ctrl-C would.
        if (errno == EPIPE)
            StopSignals::requestStop(StopSignals::BrokenPipe);
    }
    m_backupSaved = backup && saved;
    m_link.saved(question.token, path, bool(saved), saved ? QString() : saved.error());
}

void DeviceRun::finish(const LinkResult &result)
{
    m_state = State::Ended;
    m_result = result;
    emit finished(result);
}

} // namespace tavlo

#include "moc_devicerun.cpp"
