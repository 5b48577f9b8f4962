// SPDX-License-Identifier: GPL-3.0-or-later
#include "shape.h"

#include <QAccessible>
#include <QPainter>

namespace tavlo {

Shape::Shape(Style style, QColor color, QWidget *parent)
    : QWidget(parent)
    , m_style(style)
    , m_color(color)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // A fill covers its whole box: nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent, style == Style::Filled);
}

void Shape::setColor(QColor color)
{
    m_color = color;
    update();
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_style == Style::Filled) {
        painter.fillRect(rect(), m_color);
    } else {
        painter.setPen(m_color);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

ProgressFill::ProgressFill(QColor color, QWidget *parent)
    : Shape(Style::Filled, color, parent)
{
}

void ProgressFill::setFilled(qint64 done, qint64 total)
{
    // The bar's width is the width the fill was placed with.
    m_fullWidth = std::max(m_fullWidth, width());
    const int covered = total > 0 ? int(m_fullWidth * done / total) : 0;
    resize(covered, height());
    const int percent = total > 0 ? int(100 * done / total) : 0;
    if (percent == m_percent)
        return;
    m_percent = percent;
    QAccessibleValueChangeEvent event(this, percent);
    QAccessible::updateAccessibility(&event);
}

} // namespace tavlo

#include "moc_shape.cpp"
