// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "fields.h"

#include <QString>
#include <optional>

#include "result.h"

namespace tavlo {

// The field a save problem is about, so the window can put the focus there.
using SaveField = FieldId;

struct SaveProblem {
    int set = -1; // 0..5, or -1 for the callsign
    SaveField field = SaveField::Callsign;
    QString message; // "Set 3: ..." for a set
};

// Whether the configuration can be saved as an image that holds exactly what
// was typed; if not, the first reason: callsign first, then sets 1 to 6.
Status<SaveProblem> checkSaveable(const Configuration &config);

} // namespace tavlo
