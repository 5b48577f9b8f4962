// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

namespace tavlo {

// The colours of the progress display.
inline const QColor ProgressGrey(192, 192, 192);
inline const QColor ProgressRed(255, 0, 0);
inline const QColor ProgressGreen(0, 255, 0);

// A rectangle of the progress display: filled without outline, or outlined
// without fill.
class Shape : public QWidget {
    Q_OBJECT
public:
    enum class Style { Filled, Outline };

    Shape(Style style, QColor color, QWidget *parent);

    QColor color() const { return m_color; }
    void setColor(QColor color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Style m_style = Style::Filled;
    QColor m_color;
};

} // namespace tavlo
