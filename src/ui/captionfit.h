// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QStyle;
class QWidget;

namespace tavlo {

// The layout is fixed, so captions are made to fit their controls: check
// boxes and option buttons keep their caption close to the mark, and a
// caption that a larger font makes wider than its control is set in a
// smaller size of that font until it fits.
class CaptionFitter : public QObject {
    Q_OBJECT
public:
    explicit CaptionFitter(QObject *parent);

    // Every check box, option button, push button and field caption within
    // `within`; again for controls made later.
    void fit(QWidget *within);

private:
    QStyle *m_compact = nullptr;
};

} // namespace tavlo
