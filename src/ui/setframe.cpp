// SPDX-License-Identifier: GPL-3.0-or-later
#include "setframe.h"

#include "advicemarks.h"

#include "lists.h"
#include "pictures.h"
#include "twips.h"

#include <QAccessible>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace tavlo {

namespace {

QComboBox *pickList(QWidget *parent, const QStringList &entries)
{
    auto *box = new QComboBox(parent);
    box->setModel(sharedListModel(entries));
    box->setCurrentIndex(-1);
    return box;
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
    const char *purpose = setField(field).purpose;
    return purpose ? QCoreApplication::translate("SetFrame", purpose) : QString();
}

// A tooltip's text in lines of about ToolTipLine characters, broken between
// words: a plain-text tooltip is never wrapped, and one line of advice would
// run off the screen.
constexpr int ToolTipLine = 50;

QString wrappedForToolTip(const QStringList &paragraphs)
{
    QStringList lines;
    for (const QString &paragraph : paragraphs) {
        QString line;
        for (const QString &word : paragraph.split(u' ')) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > ToolTipLine) {
                lines << line;
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines << line;
    }
    return lines.join(u'\n');
}

} // namespace

void showAdviceOn(QWidget *control, const QString &purpose, const QStringList &advice,
                  AdviceShown described)
{
    QStringList tip;
    if (!purpose.isEmpty())
        tip << purpose;
    tip << advice;
    control->setToolTip(wrappedForToolTip(tip));
    control->setAccessibleDescription(
        (described == AdviceShown::WithPurpose ? tip : advice).join(QStringLiteral("\n")));
}

SetFrame::SetFrame(int index, QWidget *parent, std::span<const ControlRow> rows)
    : QGroupBox(parent)
    , m_rows(rows)
{
    setObjectName(QStringLiteral("Frame1_%1").arg(index));
    setGeometry(twipsRect(120, 2760, 5175, 2775));
    setAccessibleName(QStringLiteral("Set %1").arg(index + 1));
}

const SetControls &SetFrame::controls()
{
    build();
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
    for (const ControlRow &row : m_rows)
        makeControl(row);
    setUpSymbolPicker();
    connect(m_c.coordinates, &QCheckBox::toggled, this, &SetFrame::coordinateSwitch);
    coordinateSwitch();

    // Keyboard order follows the layout, top to bottom and left to right.
    const QList<QWidget *> order = tabOrder();
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
    nameUncaptionedControls();
    givePurposes();
    reportEdits();
    m_marks = new AdviceMarks(this);
    applyAdvice();
    emit built();
}

namespace {

// The widget a slot makes: the type of its member, or of its tag.
template <typename Slot> struct SlotWidget;
template <typename Widget> struct SlotWidget<Widget * SetControls::*> {
    using Type = Widget;
};
template <typename Widget> struct SlotWidget<Unnamed<Widget>> {
    using Type = Widget;
};

// What a row's control is called: its field's title, or its caption.
QString titleOf(const ControlRow &row)
{
    return row.field ? QString::fromLatin1(setField(*row.field).title)
                     : QString::fromLatin1(row.caption);
}

} // namespace

// Makes the control of a row as its field asks: a text box with start-up's
// text, a check box captioned with the field's title, a list of the field's
// entries with none chosen.
void SetFrame::makeControl(const ControlRow &row)
{
    const QString title = titleOf(row);
    QWidget *made = std::visit(
        [&](auto slot) -> QWidget * {
            using Widget = typename SlotWidget<decltype(slot)>::Type;
            Widget *widget = nullptr;
            if constexpr (std::is_same_v<Widget, QLineEdit>)
                widget = new QLineEdit(
                    ConfigSet().*std::get<QString ConfigSet::*>(setField(*row.field).member), this);
            else if constexpr (std::is_same_v<Widget, QCheckBox>)
                widget = new QCheckBox(title, this);
            else if constexpr (std::is_same_v<Widget, QComboBox>)
                widget = pickList(this, setField(*row.field).list());
            else if constexpr (std::is_same_v<Widget, SymbolStepper>)
                widget = new SymbolStepper(Qt::Vertical, this);
            else if constexpr (std::is_same_v<Widget, QLabel>)
                widget = new QLabel(title, this);
            else
                widget = new SymbolNameBox(m_c.symbol, this);
            if constexpr (std::is_member_pointer_v<decltype(slot)>)
                m_c.*slot = widget;
            else
                m_unnamed.insert(&row, widget);
            return widget;
        },
        row.control);
    made->setGeometry(twipsRect(row.at.left, row.at.top, row.at.width, row.at.height));
    made->setObjectName(QLatin1String(row.formName));
}

QWidget *SetFrame::widgetOf(const ControlRow &row) const
{
    return std::visit(
        [&](auto slot) -> QWidget * {
            if constexpr (std::is_member_pointer_v<decltype(slot)>)
                return m_c.*slot;
            else
                return m_unnamed.value(&row);
        },
        row.control);
}

// The control of a row as the widget it was made as; a row made as another
// widget throws std::bad_variant_access, which no kind of field can pass by.
template <typename Widget> Widget *SetFrame::control(const ControlRow &row) const
{
    return std::visit(
        [&](auto slot) -> Widget * {
            using Slot = decltype(slot);
            if constexpr (!std::is_same_v<typename SlotWidget<Slot>::Type, Widget>)
                throw std::bad_variant_access();
            else if constexpr (std::is_member_pointer_v<Slot>)
                return m_c.*slot;
            else
                return static_cast<Widget *>(m_unnamed.value(&row)); // made as Widget above
        },
        row.control);
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
    for (const ControlRow &row : m_rows) {
        auto *list = qobject_cast<QComboBox *>(widgetOf(row));
        if (!list)
            continue;
        auto *label = new QLabel(titleOf(row), this);
        label->setGeometry(0, 0, width(), list->height()); // room for its text, unseen
        label->setBuddy(list);
        label->hide();
    }
}

void SetFrame::setUpSymbolPicker()
{
    m_c.symbolName->setModel(sharedListModel(symbolNames()));
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

// What a screen reader and a resting pointer say of the controls without a caption.
// The fields' tooltips are their purpose and advice (applyAdvice).
void SetFrame::nameUncaptionedControls()
{
    for (const ControlRow &row : m_rows) {
        QWidget *widget = widgetOf(row);
        if (qobject_cast<QCheckBox *>(widget) || qobject_cast<QLabel *>(widget))
            continue; // named by their caption, or as the symbol changes
        widget->setAccessibleName(titleOf(row));
        if (!row.field)
            widget->setToolTip(titleOf(row));
    }
}

// Every field's control, in the order opening an image fills them.
QList<std::pair<FieldId, QWidget *>> SetFrame::bindings() const
{
    QList<std::pair<FieldId, QWidget *>> bound;
    for (const ControlRow &row : m_rows)
        if (row.field)
            bound.append({*row.field, widgetOf(row)});
    return bound;
}

QList<QWidget *> SetFrame::tabOrder() const
{
    if (!m_built)
        return {};
    QList<const ControlRow *> rows;
    for (const ControlRow &row : m_rows)
        if (row.tabPlace > 0)
            rows << &row;
    std::sort(rows.begin(), rows.end(),
              [](const ControlRow *a, const ControlRow *b) { return a->tabPlace < b->tabPlace; });
    QList<QWidget *> order;
    for (const ControlRow *row : rows)
        order << widgetOf(*row);
    return order;
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
    for (const ControlRow &row : m_rows)
        if (row.field && needsCoordinates(*row.field))
            widgetOf(row)->setEnabled(m_c.coordinates->isChecked());
}

ConfigSet SetFrame::values() const
{
    ConfigSet s; // start-up's set, which a frame not yet made shows
    if (!m_built)
        return s;
    for (const ControlRow &row : m_rows)
        if (row.field)
            readField(s, *row.field, row);
    return s;
}

// The field's value from its control, of the kind the field table gives it;
// a row whose control is of another kind throws std::bad_variant_access.
void SetFrame::readField(ConfigSet &set, FieldId field, const ControlRow &row) const
{
    std::visit(
        [&](auto member) {
            auto &value = set.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, QString>)
                value = control<QLineEdit>(row)->text();
            else if constexpr (std::is_same_v<Value, bool>)
                value = control<QCheckBox>(row)->isChecked();
            else if constexpr (std::is_same_v<Value, int>)
                value = control<SymbolStepper>(row)->value();
            else
                value = entryOf(control<QComboBox>(row));
        },
        setField(field).member);
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
    for (const ControlRow &row : m_rows) {
        if (!row.field)
            continue;
        showField(s, *row.field, row);
        if (row.field == FieldId::Coordinates)
            coordinateSwitch(); // also when the check state did not change
    }
}

void SetFrame::showField(const ConfigSet &set, FieldId field, const ControlRow &row)
{
    std::visit(
        [&](auto member) {
            const auto &value = set.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, QString>) {
                control<QLineEdit>(row)->setText(value);
            } else if constexpr (std::is_same_v<Value, bool>) {
                control<QCheckBox>(row)->setChecked(value);
            } else if constexpr (std::is_same_v<Value, int>) {
                // Through 0 so that the picker runs for the final value whenever it is not 0.
                SymbolStepper *stepper = control<SymbolStepper>(row);
                stepper->setValue(0);
                stepper->setValue(value);
            } else {
                choose(control<QComboBox>(row), value);
            }
        },
        setField(field).member);
}

QWidget *SetFrame::fieldWidget(FieldId field)
{
    build();
    for (const auto &[id, widget] : bindings())
        if (id == field)
            return widget;
    return nullptr;
}

} // namespace tavlo

#include "moc_setframe.cpp"
