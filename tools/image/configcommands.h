// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands.h"

namespace tavlo::cli {

// new [--preset NAME] OUT, set FILE KEY=VALUE..., lists.
int newCommand(const Invocation &invocation);
int setCommand(const Invocation &invocation);
int listsCommand(const Invocation &invocation);

} // namespace tavlo::cli
