// SPDX-License-Identifier: GPL-3.0-or-later
// Files on Windows: known by volume and file index, replaced atomically with
// the data on the disk first, and the system's device names (COM1, NUL, CON)
// never taken for files, whatever suffix or folder they come with.
#include "files.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

namespace tavlo::files {

namespace {

const char NoFileName[] = "no file name given";

QString systemMessage(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                                 : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    while (message.endsWith(u'.'))
        message.chop(1);
    return message;
}

template <typename Value = Done> Result<Value> lastError()
{
    return Result<Value>::failure(systemMessage(GetLastError()));
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name devices in every
// folder and with any suffix ("nul.txt"); so does anything under \\.\.
QString deviceNamed(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\.\\")) || path.startsWith(QLatin1String("//./")))
        return path.mid(4);
    QString base = QFileInfo(path).fileName();
    base = base.left(base.indexOf(u'.') < 0 ? base.size() : base.indexOf(u'.'));
    while (base.endsWith(u' ') || base.endsWith(u':'))
        base.chop(1);
    const QString upper = base.toUpper();
    static const QStringList plain{QStringLiteral("CON"),    QStringLiteral("PRN"),
                                   QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                   QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (plain.contains(upper))
        return upper;
    if (upper.size() == 4 &&
        (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT"))) &&
        upper.at(3) >= u'1' && upper.at(3) <= u'9')
        return upper;
    return QString();
}

Status<> refuseDevice(const QString &device)
{
    return Status<>::failure(QStringLiteral("%1 is a Windows device, not a file").arg(device));
}

// The name CreateFileW takes, also for a path longer than the old limit.
std::wstring systemPath(const QString &path)
{
    QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.size() >= MAX_PATH - 12 && !native.startsWith(QLatin1String("\\\\?\\")))
        native = native.startsWith(QLatin1String("\\\\"))
                     ? QStringLiteral("\\\\?\\UNC\\") + native.mid(2)
                     : QStringLiteral("\\\\?\\") + native;
    return native.toStdWString();
}

struct Identity {
    DWORD volume = 0;
    quint64 index = 0;
    DWORD links = 0;
    bool disk = false;
    bool operator==(const Identity &o) const { return volume == o.volume && index == o.index; }
};

std::optional<Identity> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return Identity{info.dwVolumeSerialNumber,
                    (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow, info.nNumberOfLinks,
                    true};
}

// What a file is, without reading it or opening a device.
std::optional<Identity> identityOf(const QString &path)
{
    if (path.isEmpty() || !deviceNamed(path).isEmpty())
        return std::nullopt;
    HANDLE handle = CreateFileW(systemPath(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const std::optional<Identity> identity = identityOf(handle);
    CloseHandle(handle);
    return identity;
}

Status<> writeAll(HANDLE handle, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.constData() + done, DWORD(bytes.size() - done), &written,
                       nullptr) ||
            written == 0)
            return lastError();
        done += written;
    }
    return Done{};
}

// A file with other hard links is written where it is, so that every name
// sees the new content.
Status<> rewriteInPlace(const QString &path, const QByteArray &bytes)
{
    HANDLE handle = CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    Status<> written = writeAll(handle, bytes);
    if (written && !FlushFileBuffers(handle))
        written = lastError();
    CloseHandle(handle);
    return written;
}

// The bytes in a new file beside the target, on the disk, then put in its
// place in one step: ReplaceFileW keeps the old file's attributes and
// permissions; a new name is moved into place with the move on the disk too.
Status<> replaceAtomically(const QString &path, bool exists, const QByteArray &bytes)
{
    const QFileInfo target(path);
    const QString temporary = target.absoluteDir().filePath(
        QStringLiteral(".%1.%2.tmp")
            .arg(target.fileName())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    const std::wstring temp = systemPath(temporary);
    HANDLE handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    Status<> written = writeAll(handle, bytes);
    if (written && !FlushFileBuffers(handle))
        written = lastError();
    CloseHandle(handle);
    const std::wstring destination = systemPath(path);
    if (written) {
        const bool placed =
            (exists && ReplaceFileW(destination.c_str(), temp.c_str(), nullptr,
                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) ||
            MoveFileExW(temp.c_str(), destination.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (placed)
            return Done{};
        written = lastError();
    }
    DeleteFileW(temp.c_str());
    return written;
}

HANDLE standardOutput()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

} // namespace

Result<QByteArray> readFile(const QString &path, qint64 maxBytes)
{
    using Read = Result<QByteArray>;
    if (path.isEmpty())
        return Read::failure(QString::fromLatin1(NoFileName));
    const bool standardInput = path == StandardInputName;
    if (const QString device = deviceNamed(path); !standardInput && !device.isEmpty())
        return Read::failure(QStringLiteral("%1 is a Windows device, not a file").arg(device));
    HANDLE handle = standardInput ? GetStdHandle(STD_INPUT_HANDLE)
                                  : CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return lastError<QByteArray>();
    QByteArray bytes;
    char chunk[64 * 1024];
    DWORD error = ERROR_SUCCESS;
    while (maxBytes < 0 || bytes.size() < maxBytes) {
        const qint64 wanted = maxBytes < 0
                                  ? qint64(sizeof chunk)
                                  : std::min<qint64>(sizeof chunk, maxBytes - bytes.size());
        DWORD read = 0;
        if (!ReadFile(handle, chunk, DWORD(wanted), &read, nullptr)) {
            error = GetLastError();
            break;
        }
        if (read == 0)
            break;
        bytes.append(chunk, read);
    }
    if (!standardInput)
        CloseHandle(handle);
    // A pipe whose writer has gone ends the input; nothing else is an end.
    if (error != ERROR_SUCCESS && error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF)
        return Read::failure(systemMessage(error));
    return bytes;
}

qint64 regularFileSize(const QString &path)
{
    if (!deviceNamed(path).isEmpty())
        return -1;
    const QFileInfo info(path);
    return info.isFile() ? info.size() : -1;
}

Status<> checkWritable(const QString &path)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
    if (leadsToStandardOutput(path))
        return Done{};
    if (const QString device = deviceNamed(path); !device.isEmpty())
        return refuseDevice(device);
    const QFileInfo info(path);
    if (info.isDir())
        return Status<>::failure(QStringLiteral("it is a folder"));
    if (info.exists())
        return info.isWritable() ? Status<>(Done{})
                                 : Status<>::failure(QStringLiteral("it is read-only"));
    if (!info.absoluteDir().exists())
        return Status<>::failure(QStringLiteral("there is no folder %1")
                                     .arg(QDir::toNativeSeparators(info.absoluteDir().path())));
    return Done{};
}

Status<> writeFileSafely(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Status<>::failure(QString::fromLatin1(NoFileName));
    if (leadsToStandardOutput(path))
        return writeAll(standardOutput(), bytes); // as the shell opened it
    if (const QString device = deviceNamed(path); !device.isEmpty())
        return refuseDevice(device);
    const QFileInfo info(path);
    if (info.isDir())
        return Status<>::failure(QStringLiteral("it is a folder"));
    const std::optional<Identity> old = identityOf(path);
    if (old && old->links > 1)
        return rewriteInPlace(path, bytes);
    return replaceAtomically(path, info.exists(), bytes);
}

bool isSameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    // Devices are compared by name: opening one to learn what it is could
    // take a port from its program, or wake a device.
    const QString deviceA = deviceNamed(a);
    const QString deviceB = deviceNamed(b);
    if (!deviceA.isEmpty() || !deviceB.isEmpty())
        return deviceA.compare(deviceB, Qt::CaseInsensitive) == 0;
    const std::optional<Identity> first = identityOf(a);
    return first && first == identityOf(b);
}

bool leadsToStandardOutput(const QString &path)
{
    if (path == StandardOutputName)
        return true;
    const std::optional<Identity> stream = identityOf(standardOutput());
    return stream && stream == identityOf(path);
}

} // namespace tavlo::files
