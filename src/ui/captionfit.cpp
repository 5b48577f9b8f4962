// SPDX-License-Identifier: GPL-3.0-or-later
#include "captionfit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>

namespace tavlo {

namespace {

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

void fitCaptions(QWidget *within)
{
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
