// SPDX-License-Identifier: GPL-3.0-or-later
#include "advicemarks.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

namespace tavlo {

AdviceMarks::AdviceMarks(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(parent->rect());
    lower();
}

void AdviceMarks::mark(QWidget *control, Level level)
{
    if (!m_levels.contains(control))
        control->installEventFilter(this);
    if (std::exchange(m_levels[control], level) != level)
        update();
}

void AdviceMarks::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(WarningColour, FrameWidth));
    for (auto k = m_levels.cbegin(); k != m_levels.cend(); ++k) {
        if (k.value() != Level::Warning || k.key()->isHidden())
            continue;
        const QRect around = QRect(k.key()->mapTo(parentWidget(), QPoint()), k.key()->size())
                                 .adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth);
        // The pen straddles the line: inset by half of it, all within `around`.
        painter.drawRect(QRectF(around).adjusted(1, 1, -1, -1));
    }
}

bool AdviceMarks::eventFilter(QObject *watched, QEvent *event)
{
    auto *control = static_cast<QWidget *>(watched);
    // When the keyboard brought the focus (not the program, not the mouse),
    // once it has moved: a tooltip hides on every focus event.
    const auto byKeyboard = [event] {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
               reason == Qt::ShortcutFocusReason;
    };
    if (event->type() == QEvent::FocusIn && level(control) != Level::None && byKeyboard())
        QTimer::singleShot(0, control, [control] {
            if (control->hasFocus())
                QToolTip::showText(control->mapToGlobal(QPoint(0, control->height())),
                                   control->toolTip(), control);
        });
    else if (event->type() == QEvent::FocusOut && level(control) != Level::None)
        QToolTip::hideText();
    else if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        update();
    return false;
}

AdvicePlaces::AdvicePlaces(const QList<Finding> &findings)
{
    for (const Finding &finding : findings)
        add(finding);
}

void AdvicePlaces::add(const Finding &finding)
{
    const bool warning = finding.severity == Severity::Warning;
    if (finding.field == FieldId::Callsign) {
        callsign << finding.message;
        callsignWarned = callsignWarned || warning;
        return;
    }
    for (int i = 0; i < SetCount; ++i) {
        if ((finding.set >= 0 && finding.set != i) ||
            (!finding.sets.isEmpty() && !finding.sets.contains(i)))
            continue;
        if (!finding.field) {
            sets[i] << finding.message;
            setWarned[i] = setWarned[i] || warning;
            continue;
        }
        fields[i][*finding.field] << finding.message;
        if (warning)
            warned[i].insert(*finding.field);
    }
}

AdviceMarks::Level AdviceMarks::levelOf(const QStringList &advice, bool warning)
{
    if (warning)
        return AdviceMarks::Level::Warning;
    return advice.isEmpty() ? AdviceMarks::Level::None : AdviceMarks::Level::Note;
}

} // namespace tavlo

#include "moc_advicemarks.cpp"
