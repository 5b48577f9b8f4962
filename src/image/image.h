// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"

#include <QByteArray>
#include <optional>

#include "result.h"

namespace tavlo {

inline constexpr int ImageSize = 127;
inline constexpr int SetBlockSize = 20;
// Opening reads the callsign and the six blocks; the end byte carries nothing.
inline constexpr int ImageReadSize = CallsignLength + SetCount * SetBlockSize;

// The 127-byte image of a configuration. The configuration must have passed
// findSaveProblem(); values it would refuse are not guarded here.
QByteArray encodeImage(const Configuration &config);

// What opening an image puts into the window. Fewer than ImageReadSize bytes
// are refused; bytes after them are ignored.
Result<Configuration> decodeImage(QByteArrayView image);

} // namespace tavlo
