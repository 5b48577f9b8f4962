#pragma once

#include <QByteArray>
#include <QString>

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

} // namespace tavlo
