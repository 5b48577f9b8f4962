// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linkfacts.h"

#include <QList>

namespace tavlo {

// Which progress a fill shows: the bytes written, or the bytes compared.
enum class Fill { Write, Verify };

// One change of the progress display.
struct FillChange {
    enum class Kind {
        Begin, // shown, with the fill emptied in the colour of `fill`
        Empty, // the fill emptied, in the colour of `fill`
        To,    // the fill at `done` of `total`
        Mark,  // the grey mark takes the width the fill reached
        Hide,  // hidden, the fill emptied
    };
    Kind kind = Kind::Hide;
    Fill fill = Fill::Write;
    qint64 done = 0;
    qint64 total = 0;
    bool operator==(const FillChange &) const = default;
};

// How the progress display follows what the link reports: a write fills red
// and leaves a grey mark where it ended; the read back empties the fill,
// green; the comparison fills it; the closing reset, or the action's end,
// hides it. A read shows none of it.
class FillPlan {
public:
    QList<FillChange> phase(LinkPhase phase);
    QList<FillChange> progress(qint64 done, qint64 total) const;
    QList<FillChange> ended();

private:
    QList<FillChange> hide();

    bool m_shown = false;
    bool m_wrote = false;   // in this action: a read that follows is the verify
    bool m_filling = false; // the phase fills the bar: writing or comparing, not reading
};

} // namespace tavlo
