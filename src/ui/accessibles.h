// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tavlo {

// Makes the status line and the progress fill known to screen readers for
// what they are: a status bar that reads its text, and a progress bar with a
// value. Once per program; later calls do nothing.
void installAccessibles();

} // namespace tavlo
