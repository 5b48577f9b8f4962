// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"

#include "dialogwait.h"
#include "displaytext.h"
#include "filedialog.h"
#include "image.h"
#include "imagefile.h"
#include "messages.h"
#include "pictures.h"
#include "portchooser.h"
#include "setframe.h"
#include "shape.h"
#include "statusline.h"
#include "twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>

namespace tavlo {

namespace {

constexpr QSize ClientSize(px(5370), px(5715));

// Check boxes and option buttons with less room between the mark and the
// caption than the platform gives, so that "Prog Coord's" fits its box.
class CompactCaptions : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
            return CaptionSpacing;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    static constexpr int CaptionSpacing = 2;
};

} // namespace

Form1::Form1(const Platform &platform, Appearance appearance, QWidget *parent)
    : QWidget(parent)
    , m_dialog(platform.dialog)
    , m_messages(platform.messages)
{
    setWindowTitle(QStringLiteral("Tavlo feeder"));
    setWindowIcon(applicationIcon());
    setFixedSize(ClientSize);
    setAcceptDrops(true);
    // One small font for every control: the layout has the sizes of a small one.
    QFont small = font();
    small.setPixelSize(FontPixels);
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
    surface->show();
    m_c.Calls->setFocus(); // Enter right after start-up must not start a device action
}

void Form1::buildControls(QWidget *surface, const Platform &platform)
{
    buildButtons(surface, platform);
    buildProgressAndStatus(surface);
    m_c.Label1 = place(new QLabel(QStringLiteral("CALL"), surface), twipsRect(240, 2040, 495, 255));
    m_c.Calls = place(new QLineEdit(surface), twipsRect(840, 1920, 1695, 375));
    for (int i = 0; i < SetCount; ++i) {
        m_c.SetBut[i] = place(new QPushButton(QStringLiteral("Set%1").arg(i + 1), surface),
                              twipsRect(120 + 720 * i, 2400, 735, 375));
        connect(m_c.SetBut[i], &QPushButton::clicked, this, [this, i] { selectSet(i); });
    }

    // Start-up: the progress display hidden, the six sets laid out, set 1 shown.
    m_c.Shape3->hide();
    m_c.Shape2->hide();
    m_c.Shape1->hide();
    for (int i = 0; i < SetCount; ++i)
        m_c.Frame1[i] = new SetFrame(i, surface);
    selectSet(0);
    auto *compact = new CompactCaptions;
    compact->setParent(this);
    for (QAbstractButton *button : findChildren<QCheckBox *>())
        button->setStyle(compact);
    for (QAbstractButton *button : findChildren<QRadioButton *>())
        button->setStyle(compact);
    setKeyboardOrder();
    nameUncaptionedControls();

    connect(m_c.Command1, &QPushButton::clicked, this, &Form1::openImage);
    connect(m_c.SVFL, &QPushButton::clicked, this, &Form1::saveImage);
    m_devices = new DeviceController({m_c.RSEE,
                                      m_c.OWEE,
                                      m_c.Com,
                                      m_c.PortBox,
                                      m_c.Shape1,
                                      m_c.Shape2,
                                      m_c.Shape3,
                                      m_c.Label4,
                                      {m_c.Command1, m_c.SVFL}},
                                     platform, this);
}

void Form1::buildButtons(QWidget *surface, const Platform &platform)
{
    m_c.RSEE = place(new QPushButton(QStringLiteral("Read && Save file from EEProm"), surface),
                     twipsRect(120, 120, 2775, 375));
    m_c.Command1 =
        place(new QPushButton(QStringLiteral("Open"), surface), twipsRect(3000, 120, 1215, 375));
    m_c.OWEE = place(new QPushButton(QStringLiteral("Write File to EEProm"), surface),
                     twipsRect(120, 600, 2775, 375));
    m_c.SVFL =
        place(new QPushButton(QStringLiteral("Save"), surface), twipsRect(3000, 600, 1215, 375));
    for (int i = 0; i < ComCount; ++i)
        m_c.Com[i] = place(new QRadioButton(QStringLiteral("Com%1").arg(i + 1), surface),
                           twipsRect(120 + 720 * i, 1080, 735, 255));
    m_c.PortBox =
        place(new PortChooser(platform.listPorts, surface), twipsRect(3120, 1080, 2175, 315));
}

// Drawing order, bottom to top: grey mark, fill, status text, outline.
void Form1::buildProgressAndStatus(QWidget *surface)
{
    const QRect bar = twipsRect(120, 1440, 2775, 375);
    m_c.Shape2 = place(new Shape(Shape::Style::Filled, ProgressGrey, surface), bar);
    m_c.Shape3 = place(new Shape(Shape::Style::Filled, ProgressRed, surface), bar);
    m_c.Label4 = place(new StatusLine(QStringLiteral("\u00A9 TAVLO team"), surface),
                       twipsRect(720, 1560, 1455, 255));
    m_c.Label4->setAlignment(Qt::AlignCenter);
    m_c.Shape1 = place(new Shape(Shape::Style::Outline, Qt::black, surface), bar);
}

// What a screen reader and a resting pointer say of the controls without a caption.
void Form1::nameUncaptionedControls()
{
    m_c.PortBox->setAccessibleName(QStringLiteral("Serial port"));
    m_c.PortBox->setToolTip(QStringLiteral("Serial port: choose one, or type its name and press "
                                           "Enter"));
    m_c.Label4->setAccessibleName(QStringLiteral("Status"));
    m_c.Label4->setToolTip(QStringLiteral("Status"));
    m_c.Calls->setAccessibleName(QStringLiteral("Callsign"));
    m_c.Calls->setToolTip(QStringLiteral("Callsign"));
}

Configuration Form1::configuration() const
{
    Configuration config;
    config.Calls = m_c.Calls->text();
    for (int i = 0; i < SetCount; ++i)
        config.sets[i] = m_c.Frame1[i]->values();
    return config;
}

// Top to bottom, left to right; the hidden sets' controls take no focus.
void Form1::setKeyboardOrder()
{
    QList<QWidget *> order{m_c.RSEE, m_c.Command1, m_c.OWEE, m_c.SVFL};
    for (QRadioButton *com : m_c.Com)
        order << com;
    order << m_c.PortBox << m_c.Calls;
    for (QPushButton *button : m_c.SetBut)
        order << button;
    for (SetFrame *frame : m_c.Frame1)
        order << frame->tabOrder();
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
}

void Form1::selectSet(int index)
{
    for (SetFrame *frame : m_c.Frame1)
        frame->hide();
    m_c.Frame1[index]->show();
    for (QPushButton *button : m_c.SetBut) {
        QFont f = button->font();
        f.setBold(false);
        button->setFont(f);
    }
    QFont bold = m_c.SetBut[index]->font();
    bold.setBold(true);
    m_c.SetBut[index]->setFont(bold);
}

void Form1::openImage()
{
    if (const auto path = m_dialog.ask(FileDialog::Kind::Open))
        openFile(*path);
    else
        selectSet(0);
}

void Form1::openFile(const QString &path)
{
    const Result<Configuration> opened = openImageFile(path);
    if (opened)
        showOpened(*opened);
    else
        m_messages.warning(QStringLiteral("Open"), opened.error());
    selectSet(0);
}

// One file dropped from a file manager opens as "Open" would open it.
static QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().first().isLocalFile())
        return QString();
    return data->urls().first().toLocalFile();
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openFile(path);
}

void Form1::showOpened(const Configuration &config)
{
    m_c.Calls->setText(config.Calls);
    m_c.Calls->setFocus();
    for (SetFrame *frame : m_c.Frame1)
        frame->hideSymbolLists();
    for (int i = 0; i < SetCount; ++i) {
        repaint(); // the sets fill visibly, one after another
        m_c.Frame1[i]->showOpened(config.sets[i]);
    }
    repaint();
}

void Form1::saveImage()
{
    const Configuration config = configuration();
    if (const Status<SaveProblem> saveable = checkSaveable(config); !saveable) {
        showSaveProblem(saveable.error());
        return;
    }
    const auto path = m_dialog.ask(FileDialog::Kind::Save);
    if (!path)
        return;
    if (const Status<> saved = writeFileSafely(*path, encodeImage(config)); !saved) {
        m_messages.warning(
            QStringLiteral("Save"),
            QStringLiteral("Could not save %1: %2").arg(printable(*path), saved.error()));
        return;
    }
    m_c.Label4->setText(QStringLiteral("Save Finished"));
}

void Form1::showSaveProblem(const SaveProblem &problem)
{
    QWidget *field = m_c.Calls;
    if (problem.set >= 0) {
        selectSet(problem.set);
        field = m_c.Frame1[problem.set]->fieldWidget(problem.field);
    }
    if (field)
        field->setFocus();
    m_messages.warning(QStringLiteral("Save"), problem.message);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing is never refused; unsaved edits are dropped. A transfer ends,
    // and so does any question or dialog still waiting for an answer.
    if (m_devices) // a close request can come while the window is still being filled
        m_devices->shutDown();
    cancelOpenDialogs();
    event->accept();
    QCoreApplication::quit();
}

} // namespace tavlo
