// SPDX-License-Identifier: GPL-3.0-or-later
#include "fillplan.h"

namespace tavlo {

QList<FillChange> FillPlan::phase(LinkPhase phase)
{
    using Kind = FillChange::Kind;
    // The bar stands still while the memory is read back.
    m_filling = phase == LinkPhase::Writing || phase == LinkPhase::Comparing;
    switch (phase) {
    case LinkPhase::Writing:
        m_shown = m_wrote = true;
        return {{Kind::Begin, Fill::Write}};
    case LinkPhase::Settling:
        return {{Kind::Mark}};
    case LinkPhase::Reading:
        if (!m_shown || !m_wrote)
            return {};
        return {{Kind::Empty, Fill::Verify}};
    case LinkPhase::Comparing:
        m_shown = true;
        return {{Kind::Begin, Fill::Verify}};
    case LinkPhase::Resetting:
        return hide();
    case LinkPhase::Pausing:
        break;
    }
    return {};
}

QList<FillChange> FillPlan::progress(qint64 done, qint64 total) const
{
    if (!m_shown || !m_filling)
        return {};
    return {{FillChange::Kind::To, Fill::Write, done, total}};
}

QList<FillChange> FillPlan::ended()
{
    m_wrote = false;
    return hide();
}

QList<FillChange> FillPlan::hide()
{
    if (!std::exchange(m_shown, false))
        return {};
    return {{FillChange::Kind::Hide}};
}

} // namespace tavlo
