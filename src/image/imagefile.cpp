#include "imagefile.h"

#include <QFile>
#include <QSaveFile>

namespace tavlo {

FileRead readFile(const QString &path, qint64 maxBytes) {
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

QString writeFileAtomically(const QString &path, const QByteArray &bytes) {
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
