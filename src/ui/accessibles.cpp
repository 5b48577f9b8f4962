// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibles.h"

#include "setframe.h"
#include "shape.h"
#include "statusline.h"

#include <QAccessibleWidget>

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

// The progress fill: a progress bar from 0 to 100 percent.
class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(ProgressFill *fill)
        : QAccessibleWidget(fill, QAccessible::ProgressBar)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return QStringLiteral("Transfer progress");
        if (kind == QAccessible::Value)
            return QStringLiteral("%1%").arg(fill()->percent());
        if (kind == QAccessible::Description)
            return QStringLiteral("How much of a write or a verify is done");
        return QAccessibleWidget::text(kind);
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return fill()->percent(); }
    void setCurrentValue(const QVariant &) override {} // the transfer sets it
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const ProgressFill *fill() const { return static_cast<const ProgressFill *>(object()); }
};

// The symbol scroll bar: its value is the symbol's name, not its number.
class SymbolStepperAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SymbolStepperAccessible(SymbolStepper *stepper)
        : QAccessibleWidget(stepper, QAccessible::ScrollBar)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return stepper()->symbolName();
        return QAccessibleWidget::text(kind);
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return stepper()->value(); }
    void setCurrentValue(const QVariant &value) override
    {
        const_cast<SymbolStepper *>(stepper())->setValue(value.toInt());
    }
    QVariant maximumValue() const override { return stepper()->maximum(); }
    QVariant minimumValue() const override { return stepper()->minimum(); }
    QVariant minimumStepSize() const override { return stepper()->singleStep(); }

private:
    const SymbolStepper *stepper() const { return static_cast<const SymbolStepper *>(object()); }
};

QAccessibleInterface *windowAccessible(const QString &, QObject *object)
{
    if (auto *line = qobject_cast<StatusLine *>(object))
        return new StatusLineAccessible(line);
    if (auto *stepper = qobject_cast<SymbolStepper *>(object))
        return new SymbolStepperAccessible(stepper);
    if (auto *fill = qobject_cast<ProgressFill *>(object))
        return new ProgressAccessible(fill);
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
