// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands.h"

namespace tavlo::cli {

// tavlo-image fleet TEMPLATE ROSTER (--port PORT ... | --watch[=DIR]) ...:
// one configuration for each row of the roster, each on its own tracker,
// several at once.
int fleetCommand(const Invocation &invocation);

} // namespace tavlo::cli
