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
class StatusLine : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    static constexpr int MaxKept = 512; // every byte's text and the statuses, with room

    QHash<QString, QStaticText> m_laidOut;
};

} // namespace tavlo
