// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavlo::cli {

// What --help prints: every command, option and exit status, with the JSON
// form's keys from the field table.
QString helpText();

// What --version prints: the version and the licence.
QString versionText();

} // namespace tavlo::cli
