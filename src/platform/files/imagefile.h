// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "image.h"
#include "result.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tavlo {

// Reads a file, or its first `maxBytes` bytes, without ever creating it.
Result<QByteArray> readFile(const QString &path, qint64 maxBytes = -1);

// Reads a whole file that may be no larger than `limit` bytes. A larger one
// is refused without being read: its size when it has one, else after
// `limit` + 1 bytes (a pipe, /dev/zero).
Result<QByteArray> readBoundedFile(const QString &path, qint64 limit);

// Whether writeFileSafely() could write `path`, asked before a device is
// touched for what would be saved there.
Status<> checkWritable(const QString &path);

// Writes a file whole or not at all, and never replaces what is not a
// regular file. A regular file, or a new one, is replaced atomically where
// the system allows it: on any failure the old file stays as it was, and the
// new one keeps the old one's owner, group and mode. A file with other hard
// links, or in a folder that takes no new file, is rewritten in place.
// Anything else that exists (a FIFO, a terminal or other device, /dev/stdout
// and other descriptors of this process) is written to directly.
Status<> writeFileSafely(const QString &path, const QByteArray &bytes);

// Whether two names lead to the same existing file.
bool isSameFile(const QString &a, const QString &b);

// The name a typed file name is saved under: with ".bin" added when it has no
// suffix of its own, so that the dialogs' "Binary Files" filter lists it.
QString withImageSuffix(const QString &path);

// An image file as "Open" shows it: its erased parts (every byte 0xFF) are
// blank, as in a new window, and named.
struct OpenedImage {
    Configuration config;
    ErasedParts erased;
};

// Opens an image file as "Open" does; a missing, unreadable or short file is
// refused without creating anything, with a reason that names the file.
Result<OpenedImage> openImageFile(const QString &path);

} // namespace tavlo
