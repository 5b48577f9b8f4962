// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusline.h"

#include "shape.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace tavlo {

namespace {

// WCAG's relative luminance and contrast ratio.
double luminance(const QColor &c)
{
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

QColor readableOn(const QColor &behind, const QColor &preferred, const QPalette &palette)
{
    if (contrast(preferred, behind) >= ReadableContrast)
        return preferred;
    QColor best = preferred;
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::ButtonText, QPalette::Text, QPalette::HighlightedText,
          QPalette::BrightText, QPalette::Shadow, QPalette::Dark, QPalette::Window, QPalette::Base,
          QPalette::Light}) {
        if (contrast(palette.color(role), behind) > contrast(best, behind))
            best = palette.color(role);
    }
    if (contrast(best, behind) >= ReadableContrast)
        return best;
    // Black or white always reaches it.
    return contrast(Qt::black, behind) > contrast(Qt::white, behind) ? QColor(Qt::black)
                                                                     : QColor(Qt::white);
}

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
    const QColor preferred =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole());
    for (const auto &[span, behind] : backdropSpans()) {
        painter.setClipRect(span);
        painter.setPen(readableOn(behind, preferred, palette()));
        painter.drawStaticText(placed.topLeft(), *found);
    }
}

// The line cut where what lies behind it changes: each part with its colour.
QList<std::pair<QRect, QColor>> StatusLine::backdropSpans() const
{
    const QColor window = parentWidget()->palette().color(QPalette::Window);
    QList<int> cuts{0, width()};
    for (const tavlo::Shape *layer : m_backdrop) {
        if (!layer->isVisible() || !layer->isFilled())
            continue;
        const QRect r = layer->geometry().translated(-pos());
        cuts << std::clamp(r.left(), 0, width()) << std::clamp(r.right() + 1, 0, width());
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    QList<std::pair<QRect, QColor>> spans;
    for (qsizetype k = 1; k < cuts.size(); ++k) {
        const QRect span(cuts[k - 1], 0, cuts[k] - cuts[k - 1], height());
        QColor behind = window;
        for (const tavlo::Shape *layer : m_backdrop) // the topmost that covers the span wins
            if (layer->isVisible() && layer->isFilled() &&
                layer->geometry().translated(-pos()).contains(span.center().x(), 0, true))
                behind = layer->color();
        spans.append({span, behind});
    }
    return spans;
}

void StatusLine::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        m_laidOut.clear();
    QLabel::changeEvent(event);
}

} // namespace tavlo

#include "moc_statusline.cpp"
