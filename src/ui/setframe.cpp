// SPDX-License-Identifier: GPL-3.0-or-later
#include "setframe.h"

#include "advicemarks.h"

#include "lists.h"
#include "pictures.h"
#include "twips.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringListModel>

namespace tavlo {

namespace {

// The entries of a list. Typing in a closed list picks the first entry, from
// the top, whose text as a reader sees it (without the blanks that align the
// intervals) starts with what was typed: "1" finds "  1 min" wherever the
// list stood, "10" finds " 10 min".
class EntryList : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override
    {
        if (role != Qt::DisplayRole || (flags & Qt::MatchTypeMask) != Qt::MatchStartsWith ||
            value.typeId() != QMetaType::QString)
            return QStringListModel::match(start, role, value, hits, flags);
        const Qt::CaseSensitivity cs =
            flags & Qt::MatchCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        QModelIndexList found;
        for (int row = 0; row < rowCount() && (hits < 0 || found.size() < hits); ++row) {
            const QModelIndex entry = index(row);
            if (entry.data().toString().trimmed().startsWith(value.toString(), cs))
                found << entry;
        }
        return found;
    }
};

// One model per list, shared by the six sets: each box keeps its own choice,
// and start-up makes each list once instead of six times.
QAbstractItemModel *sharedModel(const QStringList &entries)
{
    static QHash<const QStringList *, EntryList *> models;
    EntryList *&model = models[&entries];
    if (!model)
        model = new EntryList(entries, qApp);
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

// What a check box of a set is for, beyond its caption.
QString checkBoxPurpose(FieldId field)
{
    switch (field) {
    case FieldId::Gps:
        return QCoreApplication::translate("SetFrame", "The tracker takes its position from the "
                                                       "GPS receiver");
    case FieldId::Coordinates:
        return QCoreApplication::translate("SetFrame", "The set carries the fixed position "
                                                       "typed beside it");
    case FieldId::Beacon:
        return QCoreApplication::translate("SetFrame", "The tracker sends its position");
    default:
        return QString();
    }
}

} // namespace

void showAdviceOn(QWidget *control, const QString &purpose, const QStringList &advice,
                  AdviceShown described)
{
    QStringList tip;
    if (!purpose.isEmpty())
        tip << purpose;
    tip << advice;
    control->setToolTip(tip.join(QStringLiteral("\n")));
    control->setAccessibleDescription(
        (described == AdviceShown::WithPurpose ? tip : advice).join(QStringLiteral("\n")));
}

SetFrame::SetFrame(int index, QWidget *parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("Frame1_%1").arg(index));
    setGeometry(twipsRect(120, 2760, 5175, 2775));
    setAccessibleName(QStringLiteral("Set %1").arg(index + 1));
}

const SetControls &SetFrame::controls() const
{
    // Logically const: the controls show the same set before and after.
    const_cast<SetFrame *>(this)->build();
    return m_c;
}

void SetFrame::setVisible(bool visible)
{
    if (visible)
        build();
    QGroupBox::setVisible(visible);
}

void SetFrame::build()
{
    if (m_built)
        return;
    m_built = true;
    const ConfigSet initial;
    m_c.ssidLabel = place(new QLabel(QStringLiteral("SSID"), this), twipsRect(120, 240, 495, 255));
    m_c.ssid = textBox(this, initial.ssid, twipsRect(600, 240, 615, 405));
    buildSymbolPicker();
    buildStationControls();
    buildCoordinates();
    m_c.path = textBox(this, initial.path, twipsRect(240, 2280, 4695, 375));

    // Keyboard order follows the layout, top to bottom and left to right.
    const QList<QWidget *> order = tabOrder();
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
    nameUncaptionedControls();
    givePurposes();
    giveFormNames();
    reportEdits();
    m_marks = new AdviceMarks(this);
    applyAdvice();
    emit built();
}

void SetFrame::showAdvice(const QHash<FieldId, QStringList> &advice, const QSet<FieldId> &warned)
{
    if (advice == m_advice && warned == m_warned)
        return;
    m_advice = advice;
    m_warned = warned;
    if (m_built)
        applyAdvice();
}

void SetFrame::applyAdvice()
{
    for (const auto &[field, widget] : bindings()) {
        m_marks->mark(widget, m_warned.contains(field)   ? AdviceMarks::Level::Warning
                              : m_advice.contains(field) ? AdviceMarks::Level::Note
                                                         : AdviceMarks::Level::None);
        if (field == FieldId::Symbol) {
            describeSymbol();
            continue;
        }
        const QStringList lines = m_advice.value(field);
        // Check boxes say their name in their caption and their purpose in
        // the description; the others their name in their tooltip.
        if (const QString purpose = checkBoxPurpose(field); !purpose.isEmpty())
            showAdviceOn(widget, purpose, lines, AdviceShown::WithPurpose);
        else
            showAdviceOn(widget, QString::fromLatin1(setField(field).title), lines);
    }
}

// The symbol scroll bar's description says the symbol's name, then its advice.
void SetFrame::describeSymbol()
{
    showAdviceOn(m_c.symbol, QString::fromLatin1(setField(FieldId::Symbol).title),
                 QStringList{m_c.symbol->symbolName()} + m_advice.value(FieldId::Symbol));
}

void SetFrame::reportEdits()
{
    for (const auto &[id, widget] : bindings()) {
        if (auto *text = qobject_cast<QLineEdit *>(widget))
            connect(text, &QLineEdit::textChanged, this, &SetFrame::edited);
        else if (auto *list = qobject_cast<QComboBox *>(widget))
            connect(list, &QComboBox::currentIndexChanged, this, &SetFrame::edited);
        else if (auto *check = qobject_cast<QCheckBox *>(widget))
            connect(check, &QCheckBox::toggled, this, &SetFrame::edited);
        else if (auto *stepper = qobject_cast<QScrollBar *>(widget))
            connect(stepper, &QScrollBar::valueChanged, this, &SetFrame::edited);
    }
}

// A screen reader names a drop-down list by its value and takes its purpose
// from the label that names it; the lists without a caption get one that is
// never shown.
void SetFrame::givePurposes()
{
    m_c.ssidLabel->setBuddy(m_c.ssid);
    const std::pair<QWidget *, QString> lists[] = {
        {m_c.comment, QString::fromLatin1(setField(FieldId::Comment).title)},
        {m_c.interval, QString::fromLatin1(setField(FieldId::Interval).title)},
        {m_c.latHemisphere, QString::fromLatin1(setField(FieldId::LatHemisphere).title)},
        {m_c.lonHemisphere, QString::fromLatin1(setField(FieldId::LonHemisphere).title)},
        {m_c.symbolTable, QString::fromLatin1(setField(FieldId::SymbolTable).title)},
        {m_c.symbolCode, QString::fromLatin1(setField(FieldId::SymbolCode).title)},
        {m_c.symbolName, QStringLiteral("Symbol name")},
    };
    for (const auto &[list, purpose] : lists) {
        auto *label = new QLabel(purpose, this);
        label->setGeometry(0, 0, width(), list->height()); // room for its text, unseen
        label->setBuddy(list);
        label->hide();
    }
}

// Each control keeps the short name it has on the form as its objectName;
// the frame's own name carries the set's index.
void SetFrame::giveFormNames()
{
    const std::pair<QObject *, const char *> names[] = {
        {m_c.ssidLabel, "Label2"},  {m_c.ssid, "ssid"},          {m_c.comment, "POSCA"},
        {m_c.symbol, "VSICO"},      {m_c.symbolPicture, "ICOI"}, {m_c.symbolTable, "ICOT"},
        {m_c.symbolCode, "ICOC"},   {m_c.symbolName, "ICO"},     {m_c.gps, "GPS"},
        {m_c.coordinates, "CORDS"}, {m_c.latDegrees, "LAD"},     {m_c.latMinutes, "LAM"},
        {m_c.latHemisphere, "LAS"}, {m_c.lonDegrees, "LOD"},     {m_c.lonMinutes, "LOM"},
        {m_c.lonHemisphere, "LOS"}, {m_c.beacon, "BCN"},         {m_c.interval, "TXI"},
        {m_c.path, "PATH"},
    };
    for (const auto &[control, name] : names)
        control->setObjectName(QLatin1String(name));
}

void SetFrame::buildSymbolPicker()
{
    m_c.symbol = place(new SymbolStepper(Qt::Vertical, this), twipsRect(360, 720, 255, 495));
    m_c.symbolName = place(new SymbolNameBox(m_c.symbol, this), twipsRect(360, 1320, 1695, 315));
    m_c.symbolName->setModel(sharedModel(symbolNames()));
    m_c.symbolTable = pickList(this, symbolTables(), twipsRect(720, 840, 615, 315));
    m_c.symbolCode = pickList(this, symbolCodes(), twipsRect(1320, 840, 615, 315));
    m_c.symbolPicture = place(new QLabel(this), twipsRect(600, 720, 495, 525));
    m_c.symbolPicture->setScaledContents(true);
    m_c.symbolTable->hide();
    m_c.symbolCode->hide();

    // Without a mouse the symbol is chosen with Tab, the arrows and Page Up/Down.
    m_c.symbol->setFocusPolicy(Qt::StrongFocus);
    m_c.symbol->setRange(0, SymbolCount - 1);
    m_c.symbol->setSingleStep(1);
    m_c.symbol->setPageStep(1);
    m_c.symbol->setTracking(false); // the picker runs when the scroll box is released
    connect(m_c.symbol, &QScrollBar::valueChanged, this, &SetFrame::symbolChanged);
    // 1 and then 0, so that the picker really runs for entry 0.
    m_c.symbol->setValue(1);
    m_c.symbol->setValue(0);
}

void SetFrame::buildStationControls()
{
    m_c.comment = pickList(this, positionComments(), twipsRect(1800, 240, 2175, 315));
    m_c.interval = pickList(this, beaconIntervals(), twipsRect(2280, 1920, 1575, 315));
    m_c.gps =
        place(new QCheckBox(QStringLiteral("GPS Used"), this), twipsRect(2760, 600, 1095, 375));
    m_c.beacon =
        place(new QCheckBox(QStringLiteral("Beacon TX"), this), twipsRect(960, 1920, 1215, 375));
}

void SetFrame::buildCoordinates()
{
    m_c.latHemisphere = pickList(this, latitudeHemispheres(), twipsRect(4440, 960, 615, 315));
    const ConfigSet initial;
    m_c.latDegrees = textBox(this, initial.latDegrees, twipsRect(2760, 960, 495, 375));
    m_c.latMinutes = textBox(this, initial.latMinutes, twipsRect(3360, 960, 975, 375));
    m_c.lonHemisphere = pickList(this, longitudeHemispheres(), twipsRect(4440, 1440, 615, 315));
    m_c.lonDegrees = textBox(this, initial.lonDegrees, twipsRect(2760, 1440, 495, 375));
    m_c.lonMinutes = textBox(this, initial.lonMinutes, twipsRect(3360, 1440, 975, 375));
    m_c.coordinates =
        place(new QCheckBox(QStringLiteral("Prog Coord's"), this), twipsRect(3840, 600, 1215, 375));
    connect(m_c.coordinates, &QCheckBox::toggled, this, &SetFrame::coordinateSwitch);
    coordinateSwitch();
}

// What a screen reader and a resting pointer say of the controls without a caption.
// The fields' tooltips are their purpose and advice (applyAdvice).
void SetFrame::nameUncaptionedControls()
{
    auto name = [](QWidget *widget, const char *text) {
        widget->setAccessibleName(QString::fromLatin1(text));
        widget->setToolTip(QString::fromLatin1(text));
    };
    for (const auto &[field, widget] : bindings())
        if (!qobject_cast<QCheckBox *>(widget))
            widget->setAccessibleName(QString::fromLatin1(setField(field).title));
    name(m_c.symbolName, "Symbol name");
}

// Every field's control, in the order opening an image fills them.
QList<std::pair<FieldId, QWidget *>> SetFrame::bindings() const
{
    return {{FieldId::Beacon, m_c.beacon},
            {FieldId::Ssid, m_c.ssid},
            {FieldId::Interval, m_c.interval},
            {FieldId::Gps, m_c.gps},
            {FieldId::Comment, m_c.comment},
            {FieldId::SymbolTable, m_c.symbolTable},
            {FieldId::SymbolCode, m_c.symbolCode},
            {FieldId::Symbol, m_c.symbol},
            {FieldId::LatHemisphere, m_c.latHemisphere},
            {FieldId::Coordinates, m_c.coordinates},
            {FieldId::LatDegrees, m_c.latDegrees},
            {FieldId::LatMinutes, m_c.latMinutes},
            {FieldId::LonHemisphere, m_c.lonHemisphere},
            {FieldId::LonDegrees, m_c.lonDegrees},
            {FieldId::LonMinutes, m_c.lonMinutes},
            {FieldId::Path, m_c.path}};
}

QList<QWidget *> SetFrame::tabOrder() const
{
    if (!m_built)
        return {};
    // The symbol picker is the left column of the row that GPS Used and the
    // coordinates fill on the right: the eye reads it first.
    return {m_c.ssid,          m_c.comment,       m_c.symbol,      m_c.symbolTable,
            m_c.symbolCode,    m_c.gps,           m_c.coordinates, m_c.latDegrees,
            m_c.latMinutes,    m_c.latHemisphere, m_c.lonDegrees,  m_c.lonMinutes,
            m_c.lonHemisphere, m_c.beacon,        m_c.interval,    m_c.path};
}

void SetFrame::symbolChanged()
{
    const int v = m_c.symbol->value();
    m_c.symbolName->setCurrentIndex(v);
    // A screen reader hears the symbol's name, not its number.
    m_c.symbolPicture->setAccessibleName(m_c.symbol->symbolName());
    m_c.symbolPicture->setToolTip(m_c.symbol->symbolName());
    describeSymbol();
    QAccessibleValueChangeEvent changed(m_c.symbol, v);
    QAccessible::updateAccessibility(&changed);
    if (v < SymbolOthers) {
        m_c.symbolPicture->show();
        m_c.symbolCode->hide();
        m_c.symbolTable->hide();
        m_c.symbolPicture->setPixmap(symbolPicture(m_c.symbol->value()));
    } else {
        m_c.symbolPicture->hide(); // keeps its last picture, unseen
        m_c.symbolCode->show();
        m_c.symbolTable->show();
    }
}

void SetFrame::coordinateSwitch()
{
    for (QWidget *w :
         {static_cast<QWidget *>(m_c.latDegrees), static_cast<QWidget *>(m_c.latMinutes),
          static_cast<QWidget *>(m_c.latHemisphere), static_cast<QWidget *>(m_c.lonDegrees),
          static_cast<QWidget *>(m_c.lonMinutes), static_cast<QWidget *>(m_c.lonHemisphere)})
        w->setEnabled(m_c.coordinates->isChecked());
}

ConfigSet SetFrame::values() const
{
    ConfigSet s; // start-up's set, which a frame not yet made shows
    if (!m_built)
        return s;
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
    if (!m_built)
        return; // hidden from the start
    m_c.symbolTable->hide();
    m_c.symbolCode->hide();
}

void SetFrame::showOpened(const ConfigSet &s)
{
    build();
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
    controls();
    for (const auto &[id, widget] : bindings())
        if (id == field)
            return widget;
    return nullptr;
}

} // namespace tavlo
