// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibles.h"

#include "setframe.h"
#include "shape.h"
#include "statusline.h"

#include <QAccessibleWidget>
#include <functional>

namespace tavlo {

namespace {

// The status line: a status bar named by its last said text, which its text
// interface also gives, read only.
class StatusLineAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit StatusLineAccessible(StatusLine *line)
        : QAccessibleWidget(line, QAccessible::StatusBar)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return said();
        if (kind == QAccessible::Description)
            return QStringLiteral("Status");
        return QAccessibleWidget::text(kind);
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // Read only: no selection, no cursor.
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return said().mid(start, end - start); }
    int characterCount() const override { return int(said().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return QString();
    }

private:
    QString said() const { return static_cast<const StatusLine *>(object())->saidText(); }
};

// A control with a value in a range, as a screen reader reads it: the value
// as its own text (a percentage, a symbol's name) and as a number.
class RangeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    struct Range {
        int value = 0;
        int minimum = 0;
        int maximum = 0;
        QString text;
    };
    struct Parts {
        std::function<Range()> read;
        std::function<void(int)> write; // none: the program alone sets it
        QString name;                   // empty: the widget's own
        QString description;            // empty: the widget's own
    };

    RangeAccessible(QWidget *widget, QAccessible::Role role, Parts parts)
        : QAccessibleWidget(widget, role)
        , m_parts(std::move(parts))
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return m_parts.read().text;
        if (kind == QAccessible::Name && !m_parts.name.isEmpty())
            return m_parts.name;
        if (kind == QAccessible::Description && !m_parts.description.isEmpty())
            return m_parts.description;
        return QAccessibleWidget::text(kind);
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return m_parts.read().value; }
    void setCurrentValue(const QVariant &value) override
    {
        if (m_parts.write)
            m_parts.write(value.toInt());
    }
    QVariant maximumValue() const override { return m_parts.read().maximum; }
    QVariant minimumValue() const override { return m_parts.read().minimum; }
    QVariant minimumStepSize() const override { return 1; }

private:
    Parts m_parts;
};

// The progress fill: a progress bar from 0 to 100 percent.
QAccessibleInterface *progressAccessible(ProgressFill *fill)
{
    constexpr int Full = 100;
    return new RangeAccessible(fill, QAccessible::ProgressBar,
                               {[fill] {
                                    return RangeAccessible::Range{
                                        fill->percent(), 0, Full,
                                        QStringLiteral("%1%").arg(fill->percent())};
                                },
                                {},
                                QStringLiteral("Transfer progress"),
                                QStringLiteral("How much of a write or a verify is done")});
}

// The symbol scroll bar: its value is the symbol's name, not its number.
QAccessibleInterface *symbolAccessible(SymbolStepper *stepper)
{
    return new RangeAccessible(
        stepper, QAccessible::ScrollBar,
        {[stepper] {
             return RangeAccessible::Range{stepper->value(), stepper->minimum(), stepper->maximum(),
                                           stepper->symbolName()};
         },
         [stepper](int value) { stepper->setValue(value); }, QString(), QString()});
}

QAccessibleInterface *windowAccessible(const QString &, QObject *object)
{
    if (auto *line = qobject_cast<StatusLine *>(object))
        return new StatusLineAccessible(line);
    if (auto *stepper = qobject_cast<SymbolStepper *>(object))
        return symbolAccessible(stepper);
    if (auto *fill = qobject_cast<ProgressFill *>(object))
        return progressAccessible(fill);
    return nullptr;
}

} // namespace

void installAccessibles()
{
    static bool installed = false;
    if (!std::exchange(installed, true))
        QAccessible::installFactory(windowAccessible);
}

} // namespace tavlo
