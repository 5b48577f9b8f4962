// SPDX-License-Identifier: GPL-3.0-or-later
#include "symbolwidgets.h"

#include "lists.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QWheelEvent>

namespace tavlo {

namespace {

// Between the frame of the name box and its text, as a line edit has.
constexpr int NameMargin = 2;
// The width of the focus line around the symbol scroll bar.
constexpr int FocusLine = 2;

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
    painter.setFont(shownFont());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(textRect(), Qt::AlignVCenter | Qt::AlignLeft, currentText());
}

QRect SymbolNameBox::textRect() const
{
    return contentsRect().adjusted(NameMargin, 0, -NameMargin, 0);
}

// The longest names fit a larger font only in a smaller size of it.
QFont SymbolNameBox::shownFont() const
{
    constexpr qreal Smallest = 6;
    constexpr qreal Step = 0.5;
    QFont shown = font();
    while (QFontMetrics(shown).horizontalAdvance(currentText()) > textRect().width() &&
           shown.pointSizeF() > Smallest)
        shown.setPointSizeF(shown.pointSizeF() - Step);
    return shown;
}

void SymbolNameBox::wheelEvent(QWheelEvent *event)
{
    QCoreApplication::sendEvent(m_stepper, event);
}

void SymbolNameBox::keyPressEvent(QKeyEvent *event)
{
    event->ignore(); // the box takes no keys: its name follows the scroll bar
}

QString SymbolStepper::symbolName() const
{
    return symbolNames().value(value());
}

void SymbolStepper::paintEvent(QPaintEvent *event)
{
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), FocusLine));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

} // namespace tavlo

#include "moc_symbolwidgets.cpp"
