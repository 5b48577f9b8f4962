// SPDX-License-Identifier: GPL-3.0-or-later
// The window's form: its controls where the form puts them, their names,
// and the keyboard order.
#include "mainwindow.h"

#include "accessibles.h"
#include "captionfit.h"
#include "pictures.h"
#include "portchooser.h"
#include "setframe.h"
#include "shape.h"
#include "statusline.h"
#include "twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStylePainter>

namespace tavlo {

namespace {

// A set button: checked while its set is shown, which a screen reader says;
// drawn as any button, the bold caption being what marks the shown set.
class SetButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.state &= ~QStyle::State_On;
        painter.drawControl(QStyle::CE_PushButton, option);
    }
};

} // namespace

void MainWindow::buildControls(QWidget *surface, const Platform &platform)
{
    buildButtons(surface, platform);
    buildProgressAndStatus(surface);
    m_c.callLabel =
        place(new QLabel(QStringLiteral("CALL"), surface), twipsRect(240, 2040, 495, 255));
    m_c.callsign = place(new QLineEdit(surface), twipsRect(840, 1920, 1695, 375));
    m_c.callsign->setMaxLength(CallsignLength); // what the image holds, never cut silently
    m_c.callLabel->setBuddy(m_c.callsign);
    for (int i = 0; i < SetCount; ++i) {
        m_c.setButtons[i] = place(new SetButton(QStringLiteral("Set%1").arg(i + 1), surface),
                                  twipsRect(120 + 720 * i, 2400, 735, 375));
        m_c.setButtons[i]->setCheckable(true);
        connect(m_c.setButtons[i], &QPushButton::clicked, this, [this, i] { selectSet(i); });
    }

    // Start-up: the progress display hidden, the six sets laid out, set 1 shown.
    m_c.progressFill->hide();
    m_c.progressMark->hide();
    m_c.progressOutline->hide();
    for (int i = 0; i < SetCount; ++i)
        m_c.setFrames[i] = new SetFrame(i, surface);
    selectSet(0);
    m_captions = new CaptionFitter(this);
    m_captions->fit(this);
    setKeyboardOrder();
    nameUncaptionedControls();
    giveFormNames();
    takeKeys();

    connect(m_c.openButton, &QPushButton::clicked, this, &MainWindow::openImage);
    connect(m_c.saveButton, &QPushButton::clicked, this, &MainWindow::saveImage);
    m_devices = new DeviceController({m_c.readButton,
                                      m_c.writeButton,
                                      m_c.comButtons,
                                      m_c.portBox,
                                      m_c.progressOutline,
                                      m_c.progressMark,
                                      m_c.progressFill,
                                      m_c.statusLine,
                                      {m_c.openButton, m_c.saveButton}},
                                     platform, this);
}

void MainWindow::buildButtons(QWidget *surface, const Platform &platform)
{
    m_c.readButton =
        place(new QPushButton(QStringLiteral("Read && Save file from EEProm"), surface),
              twipsRect(120, 120, 2775, 375));
    m_c.openButton =
        place(new QPushButton(QStringLiteral("Open"), surface), twipsRect(3000, 120, 1215, 375));
    m_c.writeButton = place(new QPushButton(QStringLiteral("Write File to EEProm"), surface),
                            twipsRect(120, 600, 2775, 375));
    m_c.saveButton =
        place(new QPushButton(QStringLiteral("Save"), surface), twipsRect(3000, 600, 1215, 375));
    for (int i = 0; i < ComCount; ++i)
        m_c.comButtons[i] = place(new QRadioButton(QStringLiteral("Com%1").arg(i + 1), surface),
                                  twipsRect(120 + 720 * i, 1080, 735, 255));
    m_c.portBox =
        place(new PortChooser(platform.listPorts, surface), twipsRect(3120, 1080, 2175, 315));
    // Its purpose for a screen reader, which names a drop-down list by its value.
    auto *purpose = new QLabel(QStringLiteral("Serial port"), surface);
    purpose->setGeometry(m_c.portBox->geometry()); // room for its text, unseen
    purpose->setBuddy(m_c.portBox);
    purpose->hide();
}

// Drawing order, bottom to top: grey mark, fill, status text, outline.
void MainWindow::buildProgressAndStatus(QWidget *surface)
{
    const QRect bar = twipsRect(120, 1440, 2775, 375);
    m_c.progressMark = place(new Shape(Shape::Style::Filled, ProgressGrey, surface), bar);
    m_c.progressFill = place(new ProgressFill(ProgressRed, surface), bar);
    m_c.statusLine = place(new StatusLine(QStringLiteral("\u00A9 TAVLO team"), surface),
                           twipsRect(720, 1560, 1455, 255));
    m_c.statusLine->setAlignment(Qt::AlignCenter);
    m_c.statusLine->setBackdrop({m_c.progressMark, m_c.progressFill});
    m_c.progressOutline = place(new Shape(Shape::Style::Outline, Qt::black, surface), bar);
}

// Each control keeps the short name it has on the form as its objectName,
// which window tests and accessibility tools find it by; arrays add their index.
void MainWindow::giveFormNames()
{
    const std::pair<QObject *, const char *> names[] = {
        {m_c.readButton, "RSEE"},     {m_c.openButton, "Command1"}, {m_c.writeButton, "OWEE"},
        {m_c.saveButton, "SVFL"},     {m_c.portBox, "PortBox"},     {m_c.progressOutline, "Shape1"},
        {m_c.progressMark, "Shape2"}, {m_c.progressFill, "Shape3"}, {m_c.statusLine, "Label4"},
        {m_c.callLabel, "Label1"},    {m_c.callsign, "Calls"},
    };
    for (const auto &[control, name] : names)
        control->setObjectName(QLatin1String(name));
    for (int i = 0; i < ComCount; ++i)
        m_c.comButtons[i]->setObjectName(QStringLiteral("Com_%1").arg(i));
    for (int i = 0; i < SetCount; ++i)
        m_c.setButtons[i]->setObjectName(QStringLiteral("SetBut_%1").arg(i));
}

// What a screen reader and a resting pointer say of the controls without a caption.
void MainWindow::nameUncaptionedControls()
{
    m_c.portBox->setAccessibleName(QStringLiteral("Serial port"));
    m_c.portBox->setToolTip(QStringLiteral("Serial port: choose one, or type its name and press "
                                           "Enter"));
    m_c.portBox->lineEdit()->setAccessibleName(QStringLiteral("Serial port name"));
    m_c.statusLine->setToolTip(QStringLiteral("Status"));
    m_c.callsign->setAccessibleName(QStringLiteral("Callsign")); // its tooltip: showAdvice()
    // What each button does, for a screen reader; a set button's purpose
    // goes with its advice (showAdvice()).
    const std::pair<QWidget *, QString> purposes[] = {
        {m_c.readButton, tr("Reads the device's memory and saves it in a file")},
        {m_c.openButton, tr("Opens a configuration image file")},
        {m_c.writeButton, tr("Writes a configuration image file into the device and verifies it")},
        {m_c.saveButton, tr("Saves the configuration as an image file")},
    };
    for (const auto &[control, purpose] : purposes)
        control->setAccessibleDescription(purpose);
    for (int i = 0; i < ComCount; ++i)
        m_c.comButtons[i]->setAccessibleDescription(
            tr("Opens the serial port %1 and wakes the device").arg(comPortName(i)));
}

// Top to bottom, left to right; the hidden sets' controls take no focus.
void MainWindow::setKeyboardOrder()
{
    QList<QWidget *> order{m_c.readButton, m_c.openButton, m_c.writeButton, m_c.saveButton};
    for (QRadioButton *com : m_c.comButtons)
        order << com;
    order << m_c.portBox << m_c.callsign;
    for (QPushButton *button : m_c.setButtons)
        order << button;
    for (SetFrame *frame : m_c.setFrames)
        order << frame->tabOrder();
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
}

} // namespace tavlo
