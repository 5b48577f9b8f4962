// SPDX-License-Identifier: GPL-3.0-or-later
// Files where there is no Unix: through Qt, with "-" as the standard streams.
#include "files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace tavlo::files {

namespace {

const char NoFileName[] = "no file name given";

} // namespace

Result<QByteArray> readFile(const QString &path, qint64 maxBytes)
{
    using Read = Result<QByteArray>;
    if (path.isEmpty())
        return Read::failure(QString::fromLatin1(NoFileName));
    QFile file(path);
    const bool opened = path == StandardInputName ? file.open(stdin, QIODevice::ReadOnly)
                                                  : file.open(QIODevice::ReadOnly);
    if (!opened)
        return Read::failure(file.errorString());
    QByteArray bytes = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return Read::failure(file.errorString());
    return bytes;
}

qint64 regularFileSize(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() ? info.size() : -1;
}

Status<> checkWritable(const QString &path)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
    const QFileInfo info(path);
    if (info.isDir())
        return Status<>::failure(QStringLiteral("it is a folder"));
    if (info.exists() ? info.isWritable() : QFileInfo(info.absolutePath()).isDir())
        return Done{};
    return Status<>::failure(QStringLiteral("it cannot be written"));
}

Status<> writeFileSafely(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
    if (path == StandardOutputName) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
            !out.flush())
            return Status<>::failure(out.errorString());
        return Done{};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status<>::failure(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Status<>::failure(reason);
    }
    if (!file.commit())
        return Status<>::failure(file.errorString());
    return Done{};
}

bool isSameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

bool leadsToStandardOutput(const QString &path)
{
    return path == StandardOutputName;
}

} // namespace tavlo::files
