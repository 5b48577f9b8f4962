// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QLabel>
#include <QStaticText>

namespace tavlo {

class Shape;

// The least contrast a text keeps against what lies behind it (WCAG AA).
inline constexpr double ReadableContrast = 4.5;
// The colour to draw text in on `behind`: `preferred` where it is readable
// there, else the palette's colour that reads best, else black or white.
QColor readableOn(const QColor &behind, const QColor &preferred, const QPalette &palette);

// The status line. During a write its text changes with every byte, a
// hundred times a second; laying out the same few hundred texts again each
// time was most of what the window spent on a transfer, so each text is laid
// out once and kept.
//
// A screen reader hears the texts that are said, not the bytes that pass.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    explicit StatusLine(const QString &text, QWidget *parent);

    // Shows a text and tells a screen reader.
    void say(const QString &text);
    // Shows a passing text (a byte on its way) that a screen reader is not told.
    void pass(const QString &text) { setText(text); }
    // What a screen reader reads: the last text said.
    QString saidText() const { return m_said; }

    // The filled shapes behind the line, bottom first. The text is drawn in
    // its palette's colour where that is readable (a contrast of 4.5:1 or
    // more) on what lies behind it, and elsewhere in the palette's colour
    // that reads best there: over a fill and beside it alike.
    void setBackdrop(const QList<const tavlo::Shape *> &layers) { m_backdrop = layers; }

protected:
    void paintEvent(QPaintEvent *event) override;
    QList<std::pair<QRect, QColor>> backdropSpans() const;
    void changeEvent(QEvent *event) override;

private:
    static constexpr int MaxKept = 512; // every byte's text and the statuses, with room

    QHash<QString, QStaticText> m_laidOut;
    QString m_said;
    QList<const tavlo::Shape *> m_backdrop;
};

} // namespace tavlo
