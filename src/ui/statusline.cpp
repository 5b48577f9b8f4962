// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusline.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace tavlo {

StatusLine::StatusLine(const QString &text, QWidget *parent)
    : QLabel(text, parent)
    , m_said(text)
{
    // With a name of its own, the label does not report each passing text.
    setAccessibleName(QStringLiteral("Status"));
}

void StatusLine::say(const QString &text)
{
    setText(text);
    m_said = text;
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleTextUpdateEvent changed(this, 0, QString(), text);
    QAccessible::updateAccessibility(&changed);
}

void StatusLine::paintEvent(QPaintEvent *)
{
    if (m_laidOut.size() > MaxKept)
        m_laidOut.clear();
    auto found = m_laidOut.find(text());
    if (found == m_laidOut.end()) {
        QStaticText laidOut(text());
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), font());
        found = m_laidOut.insert(text(), laidOut);
    }
    const QSizeF size = found->size();
    const QRect box = contentsRect();
    const QRect placed = QStyle::alignedRect(layoutDirection(), alignment(), size.toSize(), box);
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.drawStaticText(placed.topLeft(), *found);
}

void StatusLine::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        m_laidOut.clear();
    QLabel::changeEvent(event);
}

} // namespace tavlo
