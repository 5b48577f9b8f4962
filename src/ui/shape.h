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
    bool isFilled() const { return m_style == Style::Filled; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Style m_style = Style::Filled;
    QColor m_color;
};

// The fill of the progress display: how much of the bar it covers is what a
// screen reader reads as the value of a progress bar.
class ProgressFill : public Shape {
    Q_OBJECT
public:
    ProgressFill(QColor color, QWidget *parent);

    // Covers done/total of the bar's width.
    void setFilled(qint64 done, qint64 total);
    // The share of the bar covered, 0 to 100.
    int percent() const { return m_percent; }

private:
    int m_fullWidth = 0;
    int m_percent = 0;
};

} // namespace tavlo
