// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "accessibles.h"
#include "advice.h"
#include "advicemarks.h"
#include "captionfit.h"
#include "dialogwait.h"
#include "displaytext.h"
#include "filedialog.h"
#include "image.h"
#include "imagefile.h"
#include "messages.h"
#include "pictures.h"
#include "portchooser.h"
#include "savechoice.h"
#include "setframe.h"
#include "shape.h"
#include "statusline.h"
#include "twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStylePainter>

namespace tavlo {

namespace {

QSize clientSize()
{
    return {px(5370), px(5715)};
}
const char AppTitle[] = "Tavlo feeder";
const QString SaveFinished = QStringLiteral("Save Finished");

} // namespace

MainWindow::MainWindow(const Platform &platform, Appearance appearance, QWidget *parent)
    : QWidget(parent)
    , m_dialog(platform.dialog)
    , m_messages(platform.messages)
{
    installAccessibles();
    setWindowTitle(QLatin1String(AppTitle) + QStringLiteral("[*]"));
    setWindowIcon(applicationIcon());
    setFixedSize(clientSize());
    // A window of fixed size offers no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    // One small font for every control: the layout has the sizes of a small
    // one. It grows with the layout's resolution, as a font in points would.
    QFont small = font();
    small.setPixelSize(FontPixels * layoutDotsPerInch() / DesignDotsPerInch);
    setFont(small);
    if (appearance == Appearance::AtOnce) {
        // The first text costs more than mapping the whole window (fonts are
        // loaded then): the desktop gets the window first, and the controls
        // are in it before it paints them.
        show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // The controls sit on one surface that is shown once they are all made,
    // so that they show together whether the window is visible yet or not.
    auto *surface = new QWidget(this);
    surface->setGeometry(rect());
    buildControls(surface, platform);
    m_marks = new AdviceMarks(surface);
    surface->show();
    m_c.callsign->setFocus(); // Enter right after start-up must not start a device action
    m_saved = configuration();
    showAdvice(m_saved);
    connect(m_c.callsign, &QLineEdit::textChanged, this, &MainWindow::updateModified);
    for (SetFrame *frame : m_c.setFrames) {
        connect(frame, &SetFrame::edited, this, &MainWindow::updateModified);
        connect(frame, &SetFrame::built, this, [this, frame] {
            m_captions->fit(frame);
            setKeyboardOrder();
        });
    }
}

Configuration MainWindow::configuration() const
{
    Configuration config;
    config.callsign = m_c.callsign->text();
    for (int i = 0; i < SetCount; ++i)
        config.sets[i] = m_c.setFrames[i]->values();
    return config;
}

void MainWindow::selectSet(int index)
{
    for (SetFrame *frame : m_c.setFrames)
        frame->hide();
    m_c.setFrames[index]->show();
    for (QPushButton *button : m_c.setButtons) {
        QFont f = button->font();
        f.setBold(false);
        button->setFont(f);
        button->setChecked(false);
    }
    QFont bold = m_c.setButtons[index]->font();
    bold.setBold(true);
    m_c.setButtons[index]->setFont(bold);
    m_c.setButtons[index]->setChecked(true);
}

void MainWindow::openImage()
{
    if (!mayReplaceEdits(Next::Opening))
        return;
    if (const auto path = m_dialog.ask(FileDialog::Kind::Open, m_filePath))
        openChosenFile(*path);
    else
        selectSet(0);
}

void MainWindow::openFile(const QString &path)
{
    if (mayReplaceEdits(Next::Opening))
        openChosenFile(path);
}

void MainWindow::openChosenFile(const QString &path)
{
    const Result<OpenedImage> opened = openImageFile(path);
    if (opened) {
        m_erased = {}; // showing the sets one by one is no edit of them
        showOpened(opened->config);
        m_erased = opened->erased;
        showFile(path);
        forgetSaveFinished(); // it was of another file
        // An erased memory is said once, in the status line's few words;
        // the set buttons carry the mark, and the whole advice, until a set
        // is edited.
        m_erasedStatus = erasedStatus(m_erased);
        if (!m_erasedStatus.isEmpty())
            m_c.statusLine->say(m_erasedStatus);
    } else
        m_messages.warning(QStringLiteral("Open"), opened.error());
    selectSet(0);
}

// "Memory erased", "Sets 3 to 6 erased", "Call, set 2 erased": short
// enough for the status line.
QString MainWindow::erasedStatus(const ErasedParts &erased)
{
    if (erased.all())
        return tr("Memory erased");
    if (!erased.any())
        return QString();
    QString parts = erased.setList().isEmpty() ? QString() : setsNamed(erased.setList());
    if (erased.callsign)
        parts = parts.isEmpty() ? tr("Callsign") : tr("Call, %1").arg(parts.toLower());
    return tr("%1 erased").arg(parts);
}

// One file dropped from a file manager opens as "Open" would open it.
static QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().first().isLocalFile())
        return QString();
    return data->urls().first().toLocalFile();
}

// A drop is taken as a copy, whatever the source proposes: a file manager
// that was told "moved" would remove the file.
static bool takeAsCopy(QDropEvent *event)
{
    if (droppedFile(event->mimeData()).isEmpty() || !(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    takeAsCopy(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    takeAsCopy(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (takeAsCopy(event))
        openFile(droppedFile(event->mimeData()));
}

void MainWindow::showOpened(const Configuration &config)
{
    m_c.callsign->setText(config.callsign);
    m_c.callsign->setFocus();
    for (SetFrame *frame : m_c.setFrames)
        frame->hideSymbolLists();
    for (int i = 0; i < SetCount; ++i) {
        repaint(); // the sets fill visibly, one after another
        m_c.setFrames[i]->showOpened(config.sets[i]);
    }
    repaint();
}

bool MainWindow::saveImage()
{
    return saveConfiguration(std::nullopt);
}

bool MainWindow::saveToCurrentFile()
{
    return saveConfiguration(m_filePath.isEmpty() ? std::nullopt : std::optional(m_filePath));
}

// Saves into `file`, or into one the operator chooses, after the save checks.
bool MainWindow::saveConfiguration(const std::optional<QString> &file)
{
    const Configuration config = configuration();
    // A save that is refused or fails leaves no "Save Finished" of an
    // earlier one standing.
    if (const Status<SaveProblem> saveable = checkSaveable(config); !saveable) {
        forgetSaveFinished();
        showSaveProblem(saveable.error());
        return false;
    }
    const auto chosen = file ? file : askFileToSave(m_dialog, m_messages, QString(), m_filePath);
    if (!chosen)
        return false;
    const QString path = *chosen;
    if (const Status<> saved = writeFileSafely(path, encodeImage(config)); !saved) {
        forgetSaveFinished();
        m_messages.warning(
            QStringLiteral("Save"),
            QStringLiteral("Could not save %1: %2").arg(printable(path), saved.error()));
        return false;
    }
    m_c.statusLine->say(SaveFinished);
    showFile(path);
    return true;
}

void MainWindow::forgetSaveFinished()
{
    if (m_c.statusLine->text() == SaveFinished)
        m_c.statusLine->say(QString());
}

// The file the configuration was last saved to or opened from, in the title
// with the mark of unsaved edits.
void MainWindow::showFile(const QString &path)
{
    m_filePath = path;
    m_saved = configuration();
    setWindowTitle(QStringLiteral("%1[*] \u2014 %2")
                       .arg(printable(QFileInfo(path).fileName()), QLatin1String(AppTitle)));
    setWindowModified(false);
    showAdvice(m_saved);
}

void MainWindow::updateModified()
{
    const Configuration shown = configuration();
    forgetEditedErasedParts(shown);
    setWindowModified(shown != m_saved);
    showAdvice(shown);
}

// Advice follows every edit, calmly: in the tooltip and the accessible
// description of the field it concerns, and of a set's button for a set as a
// whole. It never stops anything.

void MainWindow::showAdvice(const Configuration &shown)
{
    const AdvicePlaces places(adviseOn(shown, m_erased));
    showAdviceOn(m_c.callsign, QStringLiteral("Callsign"), places.callsign);
    m_marks->mark(m_c.callsign, AdviceMarks::levelOf(places.callsign, places.callsignWarned));
    for (int i = 0; i < SetCount; ++i) {
        m_c.setFrames[i]->showAdvice(places.fields[i], places.warned[i]);
        m_marks->mark(m_c.setButtons[i], AdviceMarks::levelOf(places.sets[i], places.setWarned[i]));
        showAdviceOn(m_c.setButtons[i],
                     tr("Shows set %1 of the six the device can switch between").arg(i + 1),
                     places.sets[i], AdviceShown::WithPurpose);
    }
}

// An erased part that was edited holds what the operator typed.
void MainWindow::forgetEditedErasedParts(const Configuration &shown)
{
    if (!m_erased.any())
        return;
    m_erased.callsign = m_erased.callsign && shown.callsign.isEmpty();
    for (int i = 0; i < SetCount; ++i)
        m_erased.sets.at(i) = m_erased.sets.at(i) && shown.sets[i] == ConfigSet{};
    if (!m_erased.any() && m_c.statusLine->text() == m_erasedStatus)
        m_c.statusLine->say(QString());
}

bool MainWindow::mayReplaceEdits(Next next)
{
    if (!isModified())
        return true;
    if (m_asking)
        return false; // a second request while the first is being answered
    m_asking = true;
    const QString edits = m_filePath.isEmpty()
                              ? tr("The configuration has changes that are not saved.")
                              : tr("The changes to %1 are not saved.")
                                    .arg(printable(QFileInfo(m_filePath).fileName()));
    const QString question = next == Next::Closing ? tr("Save them before closing?")
                                                   : tr("Save them before opening another file?");
    bool replace = false;
    switch (
        m_messages.askToSave(QLatin1String(AppTitle), edits + QStringLiteral("\n\n") + question)) {
    case Messages::SaveChoice::Save:
        replace = saveToCurrentFile();
        break;
    case Messages::SaveChoice::Discard:
        replace = true;
        break;
    case Messages::SaveChoice::Cancel:
        break;
    }
    m_asking = false;
    return replace;
}

// Keys a user of a desktop editor expects: the platform's Open and Save, and
// Enter on a focused button, which Qt leaves to Space outside dialogs.
void MainWindow::takeKeys()
{
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, m_c.openButton, [this] {
        if (m_c.openButton->isEnabled())
            m_c.openButton->click();
    });
    // The platform's Save saves a configuration that has a file into that file.
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, [this] {
        if (m_c.saveButton->isEnabled())
            saveToCurrentFile();
    });
    for (QPushButton *button : findChildren<QPushButton *>())
        button->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button && button->isEnabled() && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->animateClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showSaveProblem(const SaveProblem &problem)
{
    QWidget *field = m_c.callsign;
    if (problem.set >= 0) {
        selectSet(problem.set);
        field = m_c.setFrames[problem.set]->fieldWidget(problem.field);
    }
    if (field)
        field->setFocus();
    m_messages.warning(QStringLiteral("Save"), problem.message);
}

void MainWindow::closeUnasked()
{
    m_closeUnasked = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Unsaved edits are asked about unless a signal ends the program. Then a
    // transfer ends, and so does any question or dialog still waiting.
    if (!m_closeUnasked && !mayReplaceEdits(Next::Closing)) {
        event->ignore();
        return;
    }
    if (m_devices) // a close request can come while the window is still being filled
        m_devices->shutDown();
    cancelOpenDialogs();
    event->accept();
    QCoreApplication::quit();
}

} // namespace tavlo

#include "moc_mainwindow.cpp"
