#include "imagefile.h"

#include "image.h"

#include <QFile>
#include <QSaveFile>

namespace tavlo {

FileRead readFile(const QString &path, qint64 maxBytes)
{
    FileRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.bytes = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        result.error = file.errorString();
    return result;
}

OpenedImage openImageFile(const QString &path)
{
    OpenedImage result;
    const FileRead file = readFile(path, ImageReadSize);
    if (!file.error.isEmpty()) {
        result.error = QStringLiteral("Could not open %1: %2").arg(path, file.error);
        return result;
    }
    result.config = decodeImage(file.bytes);
    if (!result.config)
        result.error =
            QStringLiteral("%1 is %2 bytes, too short for a configuration image (%3 bytes)")
                .arg(path)
                .arg(file.bytes.size())
                .arg(ImageSize);
    return result;
}

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // commit() alone can report success after a failed write on a full disk,
    // so every step is checked and the write cancelled before committing.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting(); // the temporary file is dropped with `file`
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

} // namespace tavlo
