// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibles.h"

#include "setframe.h"
#include "shape.h"
#include "statusline.h"

#include <QAccessibleWidget>
#include <functional>

namespace tavlo {

namespace {

// A widget's accessible whose name and description are its own unless
// given, and whose value is what valueText() says.
class NamedAccessible : public QAccessibleWidget {
public:
    NamedAccessible(QWidget *widget, QAccessible::Role role, QString name, QString description)
        : QAccessibleWidget(widget, role)
        , m_name(std::move(name))
        , m_description(std::move(description))
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return valueText();
        if (kind == QAccessible::Name && !nameText().isEmpty())
            return nameText();
        if (kind == QAccessible::Description && !m_description.isEmpty())
            return m_description;
        return QAccessibleWidget::text(kind);
    }

protected:
    virtual QString valueText() const { return QAccessibleWidget::text(QAccessible::Value); }
    virtual QString nameText() const { return m_name; }

private:
    QString m_name;
    QString m_description;
};

// The status line: a status bar named by its last said text, which its text
// interface also gives, read only.
class StatusLineAccessible : public NamedAccessible, public QAccessibleTextInterface {
public:
    explicit StatusLineAccessible(StatusLine *line)
        : NamedAccessible(line, QAccessible::StatusBar, QString(), QStringLiteral("Status"))
    {
    }

    using NamedAccessible::text;
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return NamedAccessible::interface_cast(type);
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

protected:
    QString nameText() const override { return said(); }

private:
    QString said() const { return static_cast<const StatusLine *>(object())->saidText(); }
};

// A control with a value in a range, as a screen reader reads it: the value
// as its own text (a percentage, a symbol's name) and as a number.
class RangeAccessible : public NamedAccessible, public QAccessibleValueInterface {
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
        : NamedAccessible(widget, role, parts.name, parts.description)
        , m_parts(std::move(parts))
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return NamedAccessible::interface_cast(type);
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

protected:
    QString valueText() const override { return m_parts.read().text; }

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
