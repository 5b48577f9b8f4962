// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QLabel>
#include <QStaticText>

namespace tavlo {

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

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    static constexpr int MaxKept = 512; // every byte's text and the statuses, with room

    QHash<QString, QStaticText> m_laidOut;
    QString m_said;
};

} // namespace tavlo
