// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace tavlo {

// The layout is fixed, so a caption that a larger font makes wider than its
// control is set in a smaller size of that font until it fits: check boxes,
// option buttons, push buttons and labels within `within`.
void fitCaptions(QWidget *within);

} // namespace tavlo
