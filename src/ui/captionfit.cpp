// SPDX-License-Identifier: GPL-3.0-or-later
#include "captionfit.h"

#include <QCheckBox>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>

namespace tavlo {

namespace {

// Check boxes and option buttons with less room between the mark and the
// caption than the platform gives, so that "Prog Coord's" fits its box.
class CompactCaptions : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
            return CaptionSpacing;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    static constexpr int CaptionSpacing = 2;
};

constexpr qreal SmallestPoints = 6;
constexpr qreal Step = 0.5;

// Where the caption starts in the control and how far it may run.
std::pair<int, int> captionRoom(QWidget *w)
{
    auto *box = qobject_cast<QCheckBox *>(w);
    if (box || qobject_cast<QRadioButton *>(w)) {
        auto *button = static_cast<QAbstractButton *>(w);
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto element = box ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
        return {w->style()->subElementRect(element, &option, w).left(), w->width()};
    }
    if (qobject_cast<QPushButton *>(w)) {
        const int margin = w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
        return {margin, w->width() - margin};
    }
    return {0, w->contentsRect().width()};
}

QString captionOf(QWidget *w)
{
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text().remove(u'&');
    // Labels that caption a field; the status line says passing texts.
    if (auto *label = qobject_cast<QLabel *>(w); label && label->buddy() && !label->isHidden())
        return label->text();
    return QString();
}

} // namespace

CaptionFitter::CaptionFitter(QObject *parent)
    : QObject(parent)
    , m_compact(new CompactCaptions)
{
    m_compact->setParent(this);
}

void CaptionFitter::fit(QWidget *within)
{
    for (QAbstractButton *button : within->findChildren<QCheckBox *>())
        button->setStyle(m_compact);
    for (QAbstractButton *button : within->findChildren<QRadioButton *>())
        button->setStyle(m_compact);
    for (QWidget *w : within->findChildren<QWidget *>()) {
        const QString caption = captionOf(w);
        if (caption.isEmpty())
            continue;
        const auto [left, room] = captionRoom(w);
        QFont font = w->font();
        while (left + QFontMetrics(font).horizontalAdvance(caption) > room &&
               font.pointSizeF() > SmallestPoints)
            font.setPointSizeF(font.pointSizeF() - Step);
        if (font != w->font())
            w->setFont(font);
    }
}

} // namespace tavlo

#include "moc_captionfit.cpp"
