// SPDX-License-Identifier: GPL-3.0-or-later
#include "setframe.h"

#include "lists.h"
#include "pictures.h"
#include "twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyleOptionFrame>
#include <QWheelEvent>

namespace tavlo {

namespace {

// Between the frame of the name box and its text, as a line edit has.
constexpr int NameMargin = 2;

// One model per list, shared by the six sets: each box keeps its own choice,
// and start-up makes each list once instead of six times.
QAbstractItemModel *sharedModel(const QStringList &entries)
{
    static QHash<const QStringList *, QStringListModel *> models;
    QStringListModel *&model = models[&entries];
    if (!model)
        model = new QStringListModel(entries, qApp);
    return model;
}

QComboBox *pickList(QWidget *parent, const QStringList &entries, const QRect &geometry)
{
    auto *box = place(new QComboBox(parent), geometry);
    box->setModel(sharedModel(entries));
    box->setCurrentIndex(-1);
    return box;
}

QLineEdit *textBox(QWidget *parent, const QString &text, const QRect &geometry)
{
    return place(new QLineEdit(text, parent), geometry);
}

Entry entryOf(const QComboBox *box)
{
    return box->currentIndex() < 0 ? Entry() : Entry(box->currentIndex());
}

void choose(QComboBox *box, const Entry &entry)
{
    box->setCurrentIndex(entry.value_or(-1));
}

} // namespace

SymbolNameBox::SymbolNameBox(QScrollBar *stepper, QWidget *parent)
    : QComboBox(parent)
    , m_stepper(stepper)
{
    setFocusPolicy(Qt::NoFocus);
}

// Drawn as a text line: a line edit's frame and the name, no arrow.
void SymbolNameBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
    const QRect text = contentsRect().adjusted(NameMargin, 0, -NameMargin, 0);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, currentText());
}

void SymbolNameBox::wheelEvent(QWheelEvent *event)
{
    QCoreApplication::sendEvent(m_stepper, event);
}

void SymbolNameBox::keyPressEvent(QKeyEvent *event)
{
    event->ignore(); // the box takes no keys: its name follows the scroll bar
}

SetFrame::SetFrame(int index, QWidget *parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("Frame1_%1").arg(index));
    setGeometry(twipsRect(120, 2760, 5175, 2775));

    m_c.Label2 = place(new QLabel(QStringLiteral("SSID"), this), twipsRect(120, 240, 495, 255));
    m_c.ssid = textBox(this, QString(), twipsRect(600, 240, 615, 405));

    m_c.VSICO = place(new QScrollBar(Qt::Vertical, this), twipsRect(360, 720, 255, 495));
    m_c.ICO = place(new SymbolNameBox(m_c.VSICO, this), twipsRect(360, 1320, 1695, 315));
    m_c.ICO->setModel(sharedModel(symbolNames()));
    m_c.ICOT = pickList(this, symbolTables(), twipsRect(720, 840, 615, 315));
    m_c.ICOC = pickList(this, symbolCodes(), twipsRect(1320, 840, 615, 315));
    m_c.ICOI = place(new QLabel(this), twipsRect(600, 720, 495, 525));
    m_c.ICOI->setScaledContents(true);
    m_c.ICOT->hide();
    m_c.ICOC->hide();

    // Without a mouse the symbol is chosen with Tab, the arrows and Page Up/Down.
    m_c.VSICO->setFocusPolicy(Qt::StrongFocus);
    m_c.VSICO->setRange(0, SymbolCount - 1);
    m_c.VSICO->setSingleStep(1);
    m_c.VSICO->setPageStep(1);
    m_c.VSICO->setTracking(false); // the picker runs when the scroll box is released
    connect(m_c.VSICO, &QScrollBar::valueChanged, this, &SetFrame::symbolChanged);
    // 1 and then 0, so that the picker really runs for entry 0.
    m_c.VSICO->setValue(1);
    m_c.VSICO->setValue(0);

    m_c.POSCA = pickList(this, positionComments(), twipsRect(1800, 240, 2175, 315));
    m_c.TXI = pickList(this, beaconIntervals(), twipsRect(2280, 1920, 1575, 315));
    m_c.GPS =
        place(new QCheckBox(QStringLiteral("GPS Used"), this), twipsRect(2760, 600, 1095, 375));
    m_c.BCN =
        place(new QCheckBox(QStringLiteral("Beacon TX"), this), twipsRect(960, 1920, 1215, 375));

    m_c.LAS = pickList(this, latitudeHemispheres(), twipsRect(4440, 960, 615, 315));
    m_c.LAD = textBox(this, QStringLiteral("Text2"), twipsRect(2760, 960, 495, 375));
    m_c.LAM = textBox(this, QStringLiteral("Text3"), twipsRect(3360, 960, 975, 375));
    m_c.LOS = pickList(this, longitudeHemispheres(), twipsRect(4440, 1440, 615, 315));
    m_c.LOD = textBox(this, QStringLiteral("Text2"), twipsRect(2760, 1440, 495, 375));
    m_c.LOM = textBox(this, QStringLiteral("Text3"), twipsRect(3360, 1440, 975, 375));
    m_c.CORDS =
        place(new QCheckBox(QStringLiteral("Prog Coord's"), this), twipsRect(3840, 600, 1215, 375));
    connect(m_c.CORDS, &QCheckBox::toggled, this, &SetFrame::coordinateSwitch);
    coordinateSwitch();

    m_c.PATH = textBox(this, QStringLiteral("Text1"), twipsRect(240, 2280, 4695, 375));

    // Keyboard order follows the layout, top to bottom and left to right.
    const QList<QWidget *> order = tabOrder();
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);

    // What a screen reader and a resting pointer say of the controls without a caption.
    const std::pair<QWidget *, const char *> names[] = {
        {m_c.ssid, "SSID"},
        {m_c.POSCA, "Position comment"},
        {m_c.VSICO, "Symbol"},
        {m_c.ICO, "Symbol name"},
        {m_c.ICOI, "Symbol picture"},
        {m_c.ICOT, "Symbol table character"},
        {m_c.ICOC, "Symbol code character"},
        {m_c.LAD, "Latitude degrees"},
        {m_c.LAM, "Latitude minutes"},
        {m_c.LAS, "Latitude hemisphere"},
        {m_c.LOD, "Longitude degrees"},
        {m_c.LOM, "Longitude minutes"},
        {m_c.LOS, "Longitude hemisphere"},
        {m_c.TXI, "Beacon interval"},
        {m_c.PATH, "Path (digipeaters)"},
    };
    for (const auto &[widget, name] : names) {
        widget->setAccessibleName(QString::fromLatin1(name));
        widget->setToolTip(QString::fromLatin1(name));
    }
}

QList<QWidget *> SetFrame::tabOrder() const
{
    return {m_c.ssid, m_c.POSCA, m_c.GPS, m_c.CORDS, m_c.VSICO, m_c.ICOT, m_c.ICOC, m_c.LAD,
            m_c.LAM,  m_c.LAS,   m_c.LOD, m_c.LOM,   m_c.LOS,   m_c.BCN,  m_c.TXI,  m_c.PATH};
}

void SetFrame::symbolChanged()
{
    const int v = m_c.VSICO->value();
    m_c.ICO->setCurrentIndex(v);
    if (v < SymbolOthers) {
        m_c.ICOI->show();
        m_c.ICOC->hide();
        m_c.ICOT->hide();
        m_c.ICOI->setPixmap(symbolPicture(m_c.VSICO->value()));
    } else {
        m_c.ICOI->hide(); // keeps its last picture, unseen
        m_c.ICOC->show();
        m_c.ICOT->show();
    }
}

void SetFrame::coordinateSwitch()
{
    for (QWidget *w : {static_cast<QWidget *>(m_c.LAD), static_cast<QWidget *>(m_c.LAM),
                       static_cast<QWidget *>(m_c.LAS), static_cast<QWidget *>(m_c.LOD),
                       static_cast<QWidget *>(m_c.LOM), static_cast<QWidget *>(m_c.LOS)})
        w->setEnabled(m_c.CORDS->isChecked());
}

ConfigSet SetFrame::values() const
{
    ConfigSet s;
    s.ssid = m_c.ssid->text();
    s.BCN = m_c.BCN->isChecked();
    s.GPS = m_c.GPS->isChecked();
    s.VSICO = m_c.VSICO->value();
    s.ICOT = entryOf(m_c.ICOT);
    s.ICOC = entryOf(m_c.ICOC);
    s.POSCA = entryOf(m_c.POSCA);
    s.TXI = entryOf(m_c.TXI);
    s.CORDS = m_c.CORDS->isChecked();
    s.LAD = m_c.LAD->text();
    s.LAM = m_c.LAM->text();
    s.LAS = entryOf(m_c.LAS);
    s.LOD = m_c.LOD->text();
    s.LOM = m_c.LOM->text();
    s.LOS = entryOf(m_c.LOS);
    s.PATH = m_c.PATH->text();
    return s;
}

void SetFrame::hideSymbolLists()
{
    m_c.ICOT->hide();
    m_c.ICOC->hide();
}

void SetFrame::showOpened(const ConfigSet &s)
{
    m_c.BCN->setChecked(s.BCN);
    m_c.ssid->setText(s.ssid);
    choose(m_c.TXI, s.TXI);
    m_c.GPS->setChecked(s.GPS);
    choose(m_c.POSCA, s.POSCA);
    choose(m_c.ICOT, s.ICOT);
    choose(m_c.ICOC, s.ICOC);
    // Through 0 so that the picker runs for the final value whenever it is not 0.
    m_c.VSICO->setValue(0);
    m_c.VSICO->setValue(s.VSICO);
    choose(m_c.LAS, s.LAS);
    m_c.CORDS->setChecked(s.CORDS);
    coordinateSwitch(); // also when the check state did not change
    m_c.LAD->setText(s.LAD);
    m_c.LAM->setText(s.LAM);
    choose(m_c.LOS, s.LOS);
    m_c.LOD->setText(s.LOD);
    m_c.LOM->setText(s.LOM);
    m_c.PATH->setText(s.PATH);
}

QWidget *SetFrame::fieldWidget(SaveField field) const
{
    switch (field) {
    case SaveField::Ssid:
        return m_c.ssid;
    case SaveField::Symbol:
        return m_c.VSICO;
    case SaveField::SymbolTable:
        return m_c.ICOT;
    case SaveField::SymbolCode:
        return m_c.ICOC;
    case SaveField::Comment:
        return m_c.POSCA;
    case SaveField::Interval:
        return m_c.TXI;
    case SaveField::LatDegrees:
        return m_c.LAD;
    case SaveField::LatMinutes:
        return m_c.LAM;
    case SaveField::LatHemisphere:
        return m_c.LAS;
    case SaveField::LonDegrees:
        return m_c.LOD;
    case SaveField::LonMinutes:
        return m_c.LOM;
    case SaveField::LonHemisphere:
        return m_c.LOS;
    case SaveField::Path:
        return m_c.PATH;
    case SaveField::Callsign:
        break;
    }
    return nullptr;
}

} // namespace tavlo
