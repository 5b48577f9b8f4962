// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavlo {

class FileDialog;
class Messages;

// Asks for the file to save into, with .bin added to a name without a
// suffix. A file that exists is replaced only when the operator says so, as
// the platform's save dialogs ask; "No" goes back to the dialog. `port`, the
// open serial port, is never taken for a file; `current`, the file last
// saved or opened, is where the dialog starts. No value when cancelled.
std::optional<QString> askFileToSave(FileDialog &dialog, Messages &messages,
                                     const QString &port = QString(),
                                     const QString &current = QString());

} // namespace tavlo
