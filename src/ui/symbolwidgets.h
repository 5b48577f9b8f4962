// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QScrollBar>

namespace tavlo {

// The symbol name box: a text line only, showing the name of the symbol the
// scroll bar has chosen. It is never dropped down, edited or focused; the
// mouse wheel over it turns the scroll bar, so the name and the symbol never
// disagree.
class SymbolNameBox : public QComboBox {
    Q_OBJECT
public:
    SymbolNameBox(QScrollBar *stepper, QWidget *parent);
    void showPopup() override {}
    // Where the name is drawn, and in which font: the box's own, or a
    // smaller size of it where the name would not fit.
    QRect textRect() const;
    QFont shownFont() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QScrollBar *m_stepper = nullptr;
};

// The symbol scroll bar, which shows when it has the keyboard focus: the
// platform's style draws no focus on a scroll bar, and typing there was lost
// without a sign.
class SymbolStepper : public QScrollBar {
    Q_OBJECT
public:
    using QScrollBar::QScrollBar;

    // The name of the symbol chosen: what a screen reader says as its value.
    QString symbolName() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace tavlo
