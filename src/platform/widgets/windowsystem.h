// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tavlo {

// Settles what the window system asks of Qt before the application object
// exists. Under wine, Qt's Windows font engines lay out no text in a line
// edit (the fields stay blank): the FreeType engine is used there, unless
// the platform was chosen by hand. On Linux the window joins the
// accessibility bus also when a screen reader starts after it.
void prepareWindowSystem();

} // namespace tavlo
