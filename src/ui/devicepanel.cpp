#include "devicepanel.h"

#include "devicelink.h"
#include "filedialog.h"
#include "form1.h"
#include "messages.h"
#include "shape.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace tavlo {

namespace {

QColor fillColour(FillColour colour)
{
    return colour == FillColour::Red ? ProgressRed : ProgressGreen;
}

} // namespace

PortChooser::PortChooser(std::function<QList<PortDescription>()> listPorts, QWidget *parent)
    : QComboBox(parent)
    , m_listPorts(std::move(listPorts))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setPlaceholderText(QStringLiteral("Other port"));
    refresh();
    setCurrentIndex(-1);
    connect(this, &QComboBox::activated, this,
            [this](int index) { emit chosen(itemData(index).toString()); });
    // Enter on a typed name: Qt reports the key more than once, so the choice
    // is made once, right after. An entry's text is handled by activated().
    connect(lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (m_enterPending || findText(currentText().trimmed()) >= 0)
            return;
        m_enterPending = true;
        QTimer::singleShot(0, this, [this] {
            m_enterPending = false;
            if (!chosenName().isEmpty())
                emit chosen(chosenName());
        });
    });
}

void PortChooser::refresh()
{
    const QString text = currentText();
    clear();
    if (!m_listPorts)
        return;
    for (const PortDescription &port : m_listPorts()) {
        const QString shown = port.description.isEmpty()
                                  ? port.name
                                  : QStringLiteral("%1 (%2)").arg(port.description, port.name);
        addItem(shown, port.name);
    }
    setCurrentIndex(-1);
    setEditText(text);
}

void PortChooser::showPopup()
{
    refresh();
    QComboBox::showPopup();
}

QString PortChooser::chosenName() const
{
    const QString text = currentText().trimmed();
    const int entry = findText(text);
    return entry >= 0 ? itemData(entry).toString() : text;
}

DevicePanel::DevicePanel(const FormControls &controls, const Platform &platform, QObject *parent)
    : QObject(parent)
    , m_c(controls)
    , m_dialog(platform.dialog)
    , m_messages(platform.messages)
    , m_link(new DeviceLink(platform.port, platform.ticker, *this, this))
{
    for (int i = 0; i < ComCount; ++i)
        connect(m_c.Com[i], &QRadioButton::clicked, this,
                [this, i] { choosePort(comPortName(i), i); });
    connect(m_c.PortBox, &PortChooser::chosen, this,
            [this](const QString &name) { choosePort(name, -1); });
    connect(m_c.RSEE, &QPushButton::clicked, this, &DevicePanel::readFromDevice);
    connect(m_c.OWEE, &QPushButton::clicked, this, &DevicePanel::writeToDevice);
    connect(m_link, &DeviceLink::busyChanged, this, &DevicePanel::setBusy);
    connect(m_link, &DeviceLink::portClosed, this, &DevicePanel::uncheckComButtons);
}

bool DevicePanel::shutDown()
{
    const bool busy = m_link->isBusy();
    if (busy)
        m_link->abort();
    else
        m_link->closePort();
    return busy;
}

void DevicePanel::choosePort(const QString &name, int comIndex)
{
    if (comIndex < 0)
        uncheckComButtons();
    else
        m_c.PortBox->setEditText(QString());
    m_link->choosePort(name);
}

void DevicePanel::uncheckComButtons()
{
    // An exclusive group keeps one button checked; let go of that for a moment.
    for (QRadioButton *button : m_c.Com)
        button->setAutoExclusive(false);
    for (QRadioButton *button : m_c.Com)
        button->setChecked(false);
    for (QRadioButton *button : m_c.Com)
        button->setAutoExclusive(true);
}

void DevicePanel::readFromDevice()
{
    m_link->readToFile();
}

void DevicePanel::writeToDevice()
{
    if (!m_link->checkPort())
        return;
    if (const auto path = m_dialog.ask(FileDialog::Kind::Open))
        m_link->writeAndVerify(*path);
}

void DevicePanel::setBusy(bool busy)
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_c.RSEE, m_c.OWEE, m_c.Command1, m_c.SVFL, m_c.PortBox})
        w->setEnabled(!busy);
    for (QRadioButton *button : m_c.Com)
        button->setEnabled(!busy);
}

void DevicePanel::setStatus(const QString &text)
{
    m_c.Label4->setText(text);
}

void DevicePanel::setStatusTone(StatusTone tone)
{
    QPalette palette = m_c.Label4->palette();
    const QPalette::ColorRole role =
        tone == StatusTone::Highlight ? QPalette::HighlightedText : QPalette::ButtonText;
    palette.setColor(QPalette::WindowText, m_c.Label4->parentWidget()->palette().color(role));
    m_c.Label4->setPalette(palette);
}

void DevicePanel::progressBegin(FillColour colour)
{
    progressEmpty(colour);
    m_c.Shape3->show();
    m_c.Shape2->show();
    m_c.Shape1->show();
}

void DevicePanel::progressEmpty(FillColour colour)
{
    m_c.Shape3->resize(0, m_c.Shape3->height());
    m_c.Shape3->setColor(fillColour(colour));
}

void DevicePanel::progressFill(qint64 done, qint64 total)
{
    const int width = total > 0 ? int(m_c.Shape1->width() * done / total) : 0;
    m_c.Shape3->resize(width, m_c.Shape3->height());
}

void DevicePanel::progressMark()
{
    m_c.Shape2->resize(m_c.Shape3->width(), m_c.Shape2->height());
}

void DevicePanel::progressHide()
{
    m_c.Shape3->hide();
    m_c.Shape3->resize(0, m_c.Shape3->height());
    m_c.Shape2->hide();
    m_c.Shape1->hide();
}

bool DevicePanel::confirmLength(const QString &path, qint64 size)
{
    return m_messages.question(
        QStringLiteral("Write File to EEProm"),
        QStringLiteral("%1 is %2 bytes, not a 127-byte configuration image. Write it anyway?")
            .arg(path)
            .arg(size),
        false);
}

bool DevicePanel::askRetry()
{
    return m_messages.question(QStringLiteral("Verify failed!"),
                               QStringLiteral("Try to write again?"), true);
}

std::optional<QString> DevicePanel::askSaveFile()
{
    return m_dialog.ask(FileDialog::Kind::Save);
}

void DevicePanel::report(const QString &title, const QString &message)
{
    m_messages.warning(title, message);
}

} // namespace tavlo
