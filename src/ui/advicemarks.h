// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "advice.h"
#include "fields.h"

#include <QColor>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QWidget>
#include <array>

namespace tavlo {

// The colour that marks a warning: a dark amber, 3:1 at least against a
// light window, as the boundary of a control must be to be seen.
inline const QColor WarningColour(0xC8, 0x64, 0x00);

// Makes the advice on a control visible without a mouse. A control with a
// warning gets a frame in the warning colour around it, drawn beneath the
// controls of the same parent, so that nothing in the layout moves; and a
// control with any advice shows it as a tooltip when it takes the keyboard
// focus, as it does under the pointer.
class AdviceMarks : public QWidget {
    Q_OBJECT
public:
    enum class Level { None, Note, Warning };

    // Covers `parent`, beneath its other children.
    explicit AdviceMarks(QWidget *parent);

    void mark(QWidget *control, Level level);
    static Level levelOf(const QStringList &advice, bool warning);
    Level level(QWidget *control) const { return m_levels.value(control, Level::None); }

    // The width of the frame around a control with a warning.
    static constexpr int FrameWidth = 2;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QWidget *, Level> m_levels;
};

// The advice on one configuration, sorted by where the window shows it: on a
// field of a set, on a set as a whole, or on the callsign.
struct AdvicePlaces {
    explicit AdvicePlaces(const QList<Finding> &findings);

    std::array<QHash<FieldId, QStringList>, SetCount> fields;
    std::array<QSet<FieldId>, SetCount> warned;
    std::array<QStringList, SetCount> sets;
    std::array<bool, SetCount> setWarned{};
    QStringList callsign;
    bool callsignWarned = false;

private:
    void add(const Finding &finding);
};

} // namespace tavlo
