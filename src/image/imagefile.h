#pragma once

#include "configuration.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tavlo {

struct FileRead {
    QByteArray bytes;
    QString error; // empty on success
};

// Reads a file, or its first `maxBytes` bytes, without ever creating it.
FileRead readFile(const QString &path, qint64 maxBytes = -1);

// Writes the file atomically: on any failure the old file stays as it was.
// Returns the reason of a failure, or an empty text.
QString writeFileAtomically(const QString &path, const QByteArray &bytes);

struct OpenedImage {
    std::optional<Configuration> config;
    QString error; // names the file and the reason, when there is no configuration
};

// Opens an image file as "Open" does; a missing, unreadable or short file is
// refused without creating anything.
OpenedImage openImageFile(const QString &path);

} // namespace tavlo
