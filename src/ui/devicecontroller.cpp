// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicecontroller.h"

#include "displaytext.h"
#include "imagefile.h"
#include "linkwords.h"

#include "filedialog.h"
#include "imagediff.h"
#include "messages.h"
#include "platform.h"
#include "portchooser.h"
#include "savechoice.h"
#include "shape.h"
#include "statusline.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace tavlo {

namespace {

// The status text and the fill change with every byte, a hundred times a
// second; painting each change cost more than the transfer itself. They
// change at once, and are painted at most this often.
constexpr int RepaintMs = 60;

// Writing fills red, verifying green.
QColor fillColour(Fill fill)
{
    return fill == Fill::Write ? ProgressRed : ProgressGreen;
}

} // namespace

DeviceController::DeviceController(const DeviceWidgets &widgets, const Platform &platform,
                                   QObject *parent)
    : QObject(parent)
    , m_w(widgets)
    , m_dialog(platform.dialog)
    , m_messages(platform.messages)
    , m_link(new DeviceLink(platform.port, platform.ticker, this))
{
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(RepaintMs);
    connect(&m_repaint, &QTimer::timeout, this, &DeviceController::repaintNow);
    for (int i = 0; i < ComCount; ++i)
        connect(m_w.comButtons[i], &QRadioButton::clicked, this,
                [this, i] { choosePort(comPortName(i), i); });
    connect(m_w.portBox, &PortChooser::chosen, this,
            [this](const QString &name) { choosePort(name, -1); });
    connect(m_w.readButton, &QPushButton::clicked, this, &DeviceController::readFromDevice);
    connect(m_w.writeButton, &QPushButton::clicked, this, &DeviceController::writeToDevice);
    connect(m_link, &DeviceLink::busyChanged, this, &DeviceController::setBusy);
    connect(m_link, &DeviceLink::portClosed, this, &DeviceController::showNoPortOpen);
    connect(m_link, &DeviceLink::stageChanged, this, &DeviceController::setStage);
    connect(m_link, &DeviceLink::byteWritten, this, &DeviceController::byteWritten);
    connect(m_link, &DeviceLink::phaseChanged, this, [this](LinkPhase phase) {
        if (phase == LinkPhase::Writing)
            showTransfer(true);
        showFills(m_fills.phase(phase));
    });
    connect(m_link, &DeviceLink::progressed, this,
            [this](qint64 done, qint64 total) { showFills(m_fills.progress(done, total)); });
    connect(m_link, &DeviceLink::asked, this, &DeviceController::answer);
    connect(m_link, &DeviceLink::problemReported, this, &DeviceController::report);
    connect(m_link, &DeviceLink::finished, this, &DeviceController::showResult);
}

void DeviceController::shutDown()
{
    if (m_link->isBusy())
        m_link->abort();
    else
        m_link->closePort();
}

void DeviceController::choosePort(const QString &name, int comIndex)
{
    m_failedInARow = 0;
    if (comIndex >= 0)
        m_w.portBox->clearText(true);
    else
        uncheckComButtons();
    // The box shows the port that is open, also one a Com button opened.
    if (m_link->choosePort(name)) {
        m_w.portBox->showOpenPort(m_link->portName());
        describePort(words::portOpen(m_link->portName()));
    }
}

// What a screen reader hears of the port box, and the status line says.
void DeviceController::describePort(const QString &text)
{
    m_w.portBox->setAccessibleDescription(text);
    setStatus(text);
}

// A name typed into the box without Enter still names the port the operator
// means: a device action opens it first, as Enter would.
bool DeviceController::openPortShownInBox()
{
    const QString name = m_w.portBox->chosenName();
    if (name.isEmpty() || (m_link->isPortOpen() && m_link->portName() == name))
        return true;
    choosePort(name, -1);
    return m_link->isPortOpen();
}

void DeviceController::uncheckComButtons()
{
    // An exclusive group keeps one button checked; let go of that for a moment.
    for (QRadioButton *button : m_w.comButtons)
        button->setAutoExclusive(false);
    for (QRadioButton *button : m_w.comButtons)
        button->setChecked(false);
    for (QRadioButton *button : m_w.comButtons)
        button->setAutoExclusive(true);
}

void DeviceController::showNoPortOpen()
{
    uncheckComButtons();
    m_w.portBox->clearText(false);
    describePort(m_whyNoPort.isEmpty() ? words::noPortOpen() : std::exchange(m_whyNoPort, {}));
}

void DeviceController::readFromDevice()
{
    // An odd reply was already put to the operator as a question.
    if (!openPortShownInBox())
        return;
    m_writing = false;
    m_link->read();
}

// The file is read once: the write, the verify and every retry use these bytes.
void DeviceController::writeToDevice()
{
    if (!openPortShownInBox() || !m_link->checkPort())
        return;
    const auto path = m_dialog.ask(FileDialog::Kind::Open);
    if (!path)
        return;
    const Result<QByteArray> image = readBoundedFile(*path, LargestDeviceFile);
    if (!image) {
        warn(tr("Write File to EEProm"),
             tr("Could not read %1: %2").arg(printable(*path), image.error()));
        return;
    }
    m_imageFile = *path;
    m_written = *image;
    m_writing = true;
    m_link->write(*image);
}

// The end of an action: the display emptied, and a problem said. A read
// asked about its odd reply already.
void DeviceController::showResult(const LinkResult &result)
{
    showFills(m_fills.ended());
    showTransfer(false);
    if (!result.problem)
        return;
    if (result.problem->kind == LinkProblem::Kind::NotADump && !m_writing)
        return;
    report(*result.problem);
}

void DeviceController::setBusy(bool busy)
{
    QList<QWidget *> widgets = m_w.idleOnly;
    widgets << m_w.readButton << m_w.writeButton << m_w.portBox;
    for (QRadioButton *button : m_w.comButtons)
        widgets << button;
    // A disabled control hands the focus on as Tab would, and a text field
    // that gets it so selects its text: a key typed then would replace the
    // callsign. The focus waits on the window itself instead.
    QWidget *focused = QApplication::focusWidget();
    QWidget *surface = m_w.writeButton->parentWidget();
    if (busy && focused && widgets.contains(focused)) {
        m_focusBefore = focused;
        surface->setFocus(Qt::OtherFocusReason);
    }
    for (QWidget *w : widgets)
        w->setEnabled(!busy);
    if (!busy && m_focusBefore && QApplication::focusWidget() == surface)
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    if (!busy)
        m_focusBefore = nullptr;
    holdKeys(busy);
}

// No key typed in the window changes anything while a transfer runs: the
// configuration stays as the operator last saw it.
void DeviceController::holdKeys(bool hold)
{
    if (hold)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool DeviceController::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
        break;
    default:
        return QObject::eventFilter(watched, event);
    }
    auto *widget = qobject_cast<QWidget *>(watched);
    return widget && widget->window() == m_w.writeButton->window();
}

void DeviceController::holdRepaint()
{
    if (m_repaint.isActive())
        return;
    m_w.statusLine->setUpdatesEnabled(false);
    m_w.progressFill->setUpdatesEnabled(false);
    m_repaint.start();
}

void DeviceController::repaintNow()
{
    m_repaint.stop();
    m_w.statusLine->setUpdatesEnabled(true);
    m_w.progressFill->setUpdatesEnabled(true);
}

void DeviceController::setStatus(const QString &text)
{
    repaintNow();
    m_w.statusLine->say(text);
}

void DeviceController::setStage(LinkStage stage)
{
    if (stage == LinkStage::VerifyCompleted)
        m_failedInARow = 0;
    // The final status comes in the button text's colour again.
    if (stage != LinkStage::WriteStarted && stage != LinkStage::WriteFinished &&
        stage != LinkStage::VerifyStarted)
        showTransfer(false);
    setStatus(words::stageText(stage));
}

void DeviceController::byteWritten(unsigned char byte)
{
    holdRepaint();
    m_w.statusLine->pass(words::byteStatus(byte));
}

// A transfer under way shows its status in the highlight's text colour.
void DeviceController::showTransfer(bool shown)
{
    if (std::exchange(m_highlighted, shown) == shown)
        return;
    repaintNow();
    QPalette palette = m_w.statusLine->palette();
    const QPalette::ColorRole role = shown ? QPalette::HighlightedText : QPalette::ButtonText;
    palette.setColor(QPalette::WindowText, m_w.statusLine->parentWidget()->palette().color(role));
    m_w.statusLine->setPalette(palette);
}

void DeviceController::showFills(const QList<FillChange> &changes)
{
    for (const FillChange &change : changes) {
        switch (change.kind) {
        case FillChange::Kind::Begin:
            repaintNow();
            m_w.progressFill->setFilled(0, 1);
            m_w.progressFill->setColor(fillColour(change.fill));
            m_w.progressFill->show();
            m_w.progressMark->show();
            m_w.progressOutline->show();
            break;
        case FillChange::Kind::Empty:
            repaintNow();
            m_w.progressFill->setFilled(0, 1);
            m_w.progressFill->setColor(fillColour(change.fill));
            break;
        case FillChange::Kind::To:
            holdRepaint();
            m_w.progressFill->setFilled(change.done, change.total);
            break;
        case FillChange::Kind::Mark:
            repaintNow();
            m_w.progressMark->resize(m_w.progressFill->width(), m_w.progressMark->height());
            break;
        case FillChange::Kind::Hide:
            repaintNow();
            m_w.progressFill->hide();
            m_w.progressFill->setFilled(0, 1);
            m_w.progressMark->hide();
            m_w.progressOutline->hide();
            break;
        }
    }
}

// The questions come from the event loop, between transfers, with no timer
// running; a stop, an abort or a lost port while one is open makes the
// answer moot, and its token tells the link so.
void DeviceController::answer(const LinkQuestion &question)
{
    repaintNow();
    switch (question.kind) {
    case LinkQuestion::Kind::Length:
        return m_link->answer(question.token, confirmLength(question.size));
    case LinkQuestion::Kind::Reply:
        return m_link->answer(question.token, acceptReply(question.reply, question.use));
    case LinkQuestion::Kind::Retry:
        return m_link->answer(question.token, askRetry());
    case LinkQuestion::Kind::Save:
        return saveRead(question);
    }
}

bool DeviceController::confirmLength(qint64 size)
{
    return m_messages.question(
        tr("Write File to EEProm"),
        tr("%1 is %2 bytes, not a 127-byte configuration image. Write it anyway?")
            .arg(printable(m_imageFile))
            .arg(size),
        false);
}

// Only a read may keep an odd reply, and only when the operator says so;
// a backup never takes it for the device's memory.
bool DeviceController::acceptReply(const DumpReply &reply, ReplyUse use)
{
    if (use != ReplyUse::Read)
        return false;
    return m_messages.question(
        tr("Read & Save file from EEProm"),
        tr("The device answered with %1 (count byte %2), not with the count 127 and "
           "127 memory bytes: %3. Save the %4 after the count byte anyway?")
            .arg(countOf(reply.received(), "byte", "bytes"))
            .arg(reply.count)
            .arg(words::whatAnswered(reply), countOf(reply.received() - 1, "byte", "bytes")),
        false);
}

bool DeviceController::askRetry()
{
    // Twice in a row is no passing disturbance: say what to check.
    const QString again = ++m_failedInARow < 2
                              ? QString()
                              : tr("The verify failed again.") +
                                    words::checkTheCable(m_link->portName()).mid(1) + u'\n';
    return m_messages.question(tr("Verify failed!"),
                               verifyDifferences() + again + tr("Try to write again?"), true);
}

// How the device's memory differs from what was written: the bytes, and the
// fields as opening each would show them.
QString DeviceController::verifyDifferences() const
{
    const QList<qint64> bytes = m_link->mismatches();
    QString text = tr("%1 of the %2 bytes differ from %3.\n")
                       .arg(bytes.size())
                       .arg(m_written.size())
                       .arg(printable(m_imageFile));
    const Result<ImageDiff> diff = diffImages(m_written, m_link->lastMemory());
    if (!diff)
        return text + u'\n';
    constexpr qsizetype ShownAtMost = 8;
    const QStringList lines = diffLines(*diff);
    for (const QString &line : lines.first(std::min(lines.size(), ShownAtMost)))
        text += QStringLiteral("  ") + line + u'\n';
    if (lines.size() > ShownAtMost)
        text += tr("  and %1 more\n").arg(lines.size() - ShownAtMost);
    return text + u'\n';
}

// What was read is saved here, in the file the operator chooses.
void DeviceController::saveRead(const LinkQuestion &question)
{
    if (question.use != ReplyUse::Read)
        return m_link->cancelled(question.token);
    const std::optional<QString> path = askFileToSave(m_dialog, m_messages, m_link->portName());
    if (!m_link->awaitsAnswer())
        return; // stopped, closed or lost meanwhile: nothing is saved
    if (!path)
        return m_link->cancelled(question.token);
    const Status<> saved = writeFileSafely(*path, question.memory);
    m_link->saved(question.token, *path, bool(saved), saved ? QString() : saved.error());
}

void DeviceController::report(const LinkProblem &problem)
{
    const words::Report report = words::describe(problem);
    switch (problem.kind) {
    case LinkProblem::Kind::OpenFailed:
    case LinkProblem::Kind::PortLost:
    case LinkProblem::Kind::SavedButPortLost:
    case LinkProblem::Kind::ReopenFailed:
        m_whyNoPort = words::noPortOpen(&problem); // the port closes right after
        break;
    default:
        break;
    }
    warn(report.title, report.message);
}

void DeviceController::warn(const QString &title, const QString &message)
{
    repaintNow();
    m_messages.warning(title, message);
}

} // namespace tavlo

#include "moc_devicecontroller.cpp"
