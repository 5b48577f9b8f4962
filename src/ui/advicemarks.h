// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QHash>
#include <QWidget>

namespace tavlo {

// The colour that marks a warning: the amber desktops use for one.
inline const QColor WarningColour(0xF6, 0x74, 0x00);

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
    Level level(QWidget *control) const { return m_levels.value(control, Level::None); }

    // The width of the frame around a control with a warning.
    static constexpr int FrameWidth = 2;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QWidget *, Level> m_levels;
};

} // namespace tavlo
