// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QDialog;
class QWidget;

namespace tavlo {

// The window a dialog belongs over: the active one, or else the first window shown.
QWidget *dialogParent();

// Shows the dialog and returns its result when it is closed. Unlike exec(),
// the windows behind it still take a close request, so closing the window is
// never refused while a dialog is open; input to them is dropped meanwhile.
int waitForDialog(QDialog &dialog);

// Cancels every dialog that is open, ending its wait: the window is closing.
void cancelOpenDialogs();

} // namespace tavlo
