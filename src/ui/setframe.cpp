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
    buildSymbolPicker();
    buildStationControls();
    buildCoordinates();
    m_c.PATH = textBox(this, QStringLiteral("Text1"), twipsRect(240, 2280, 4695, 375));

    // Keyboard order follows the layout, top to bottom and left to right.
    const QList<QWidget *> order = tabOrder();
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
    nameUncaptionedControls();
}

void SetFrame::buildSymbolPicker()
{
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
}

void SetFrame::buildStationControls()
{
    m_c.POSCA = pickList(this, positionComments(), twipsRect(1800, 240, 2175, 315));
    m_c.TXI = pickList(this, beaconIntervals(), twipsRect(2280, 1920, 1575, 315));
    m_c.GPS =
        place(new QCheckBox(QStringLiteral("GPS Used"), this), twipsRect(2760, 600, 1095, 375));
    m_c.BCN =
        place(new QCheckBox(QStringLiteral("Beacon TX"), this), twipsRect(960, 1920, 1215, 375));
}

void SetFrame::buildCoordinates()
{
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
}

// What a screen reader and a resting pointer say of the controls without a caption.
void SetFrame::nameUncaptionedControls()
{
    auto name = [](QWidget *widget, const char *text) {
        widget->setAccessibleName(QString::fromLatin1(text));
        widget->setToolTip(QString::fromLatin1(text));
    };
    for (const auto &[field, widget] : bindings())
        if (!qobject_cast<QCheckBox *>(widget))
            name(widget, setField(field).title);
    name(m_c.ICO, "Symbol name");
    name(m_c.ICOI, "Symbol picture");
}

// Every field's control, in the order opening an image fills them.
QList<std::pair<FieldId, QWidget *>> SetFrame::bindings() const
{
    return {{FieldId::Beacon, m_c.BCN},        {FieldId::Ssid, m_c.ssid},
            {FieldId::Interval, m_c.TXI},      {FieldId::Gps, m_c.GPS},
            {FieldId::Comment, m_c.POSCA},     {FieldId::SymbolTable, m_c.ICOT},
            {FieldId::SymbolCode, m_c.ICOC},   {FieldId::Symbol, m_c.VSICO},
            {FieldId::LatHemisphere, m_c.LAS}, {FieldId::Coordinates, m_c.CORDS},
            {FieldId::LatDegrees, m_c.LAD},    {FieldId::LatMinutes, m_c.LAM},
            {FieldId::LonHemisphere, m_c.LOS}, {FieldId::LonDegrees, m_c.LOD},
            {FieldId::LonMinutes, m_c.LOM},    {FieldId::Path, m_c.PATH}};
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
    for (const auto &[id, widget] : bindings()) {
        QWidget *w = widget;
        std::visit(
            [&](auto member) {
                auto &value = s.*member;
                using Value = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, QString>)
                    value = static_cast<QLineEdit *>(w)->text();
                else if constexpr (std::is_same_v<Value, bool>)
                    value = static_cast<QCheckBox *>(w)->isChecked();
                else if constexpr (std::is_same_v<Value, int>)
                    value = static_cast<QScrollBar *>(w)->value();
                else
                    value = entryOf(static_cast<QComboBox *>(w));
            },
            setField(id).member);
    }
    return s;
}

void SetFrame::hideSymbolLists()
{
    m_c.ICOT->hide();
    m_c.ICOC->hide();
}

void SetFrame::showOpened(const ConfigSet &s)
{
    for (const auto &[id, widget] : bindings()) {
        QWidget *w = widget;
        std::visit(
            [&](auto member) {
                const auto &value = s.*member;
                using Value = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, QString>) {
                    static_cast<QLineEdit *>(w)->setText(value);
                } else if constexpr (std::is_same_v<Value, bool>) {
                    static_cast<QCheckBox *>(w)->setChecked(value);
                } else if constexpr (std::is_same_v<Value, int>) {
                    // Through 0 so that the picker runs for the final value whenever it is not 0.
                    static_cast<QScrollBar *>(w)->setValue(0);
                    static_cast<QScrollBar *>(w)->setValue(value);
                } else {
                    choose(static_cast<QComboBox *>(w), value);
                }
            },
            setField(id).member);
        if (id == FieldId::Coordinates)
            coordinateSwitch(); // also when the check state did not change
    }
}

QWidget *SetFrame::fieldWidget(FieldId field) const
{
    for (const auto &[id, widget] : bindings())
        if (id == field)
            return widget;
    return nullptr;
}

} // namespace tavlo
