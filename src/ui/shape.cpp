// SPDX-License-Identifier: GPL-3.0-or-later
#include "shape.h"

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

} // namespace tavlo
