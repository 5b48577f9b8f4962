// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagefile.h"

#include "displaytext.h"
#include "files.h"
#include "image.h"

#include <QFileInfo>

namespace tavlo {

Result<QByteArray> readFile(const QString &path, qint64 maxBytes)
{
    return files::readFile(path, maxBytes);
}

Result<QByteArray> readBoundedFile(const QString &path, qint64 limit)
{
    const auto tooLarge = [limit](qint64 size) {
        const QString larger =
            QStringLiteral("larger than %1").arg(countOf(limit, "byte", "bytes"));
        return Result<QByteArray>::failure(
            size > limit
                ? QStringLiteral("it is %1, %2").arg(countOf(size, "byte", "bytes"), larger)
                : QStringLiteral("it is ") + larger);
    };
    if (const qint64 size = path.isEmpty() ? -1 : files::regularFileSize(path); size > limit)
        return tooLarge(size);
    Result<QByteArray> read = readFile(path, limit + 1);
    if (read && read->size() > limit)
        return tooLarge(-1); // a pipe or a device: how much more would come is unknown
    return read;
}

Status<> checkWritable(const QString &path)
{
    return files::checkWritable(path);
}

Status<> writeFileSafely(const QString &path, const QByteArray &bytes)
{
    return files::writeFileSafely(path, bytes);
}

bool isSameFile(const QString &a, const QString &b)
{
    return files::isSameFile(a, b);
}

QString withImageSuffix(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    // "my-tracker" and "my-tracker." have no suffix, and neither has ".tracker".
    // A name that exists is what the user chose to replace, as it is.
    const qsizetype dot = name.lastIndexOf(u'.');
    if (name.isEmpty() || (dot > 0 && dot < name.size() - 1) || info.exists() || info.isSymLink())
        return path;
    return path.endsWith(u'.') ? path + QStringLiteral("bin") : path + QStringLiteral(".bin");
}

Result<OpenedImage> openImageFile(const QString &path)
{
    const Result<QByteArray> read = readFile(path, ImageReadSize);
    if (!read)
        return Result<OpenedImage>::failure(
            QStringLiteral("Could not open %1: %2").arg(printable(path), read.error()));
    const Result<Configuration> decoded = decodeImage(*read);
    if (!decoded)
        return Result<OpenedImage>::failure(
            QStringLiteral("%1 is %2").arg(printable(path), decoded.error()));
    const ErasedParts erased = erasedParts(*read);
    return OpenedImage{withoutErased(*decoded, erased), erased};
}

} // namespace tavlo
