// SPDX-License-Identifier: GPL-3.0-or-later
#include "files.h"

#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h:
#include <shellapi.h>
#endif

namespace tavlo::files {

namespace {

constexpr char16_t EscapeBase = 0xDC00; // stray byte b is carried as U+DC00 + b
constexpr char16_t FirstEscape = 0xDC80;
constexpr char16_t LastEscape = 0xDCFF;

// The length of the well-formed UTF-8 sequence at `i`, or 0.
int sequenceLength(const QByteArray &bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) {
        return static_cast<unsigned char>(bytes.at(k));
    };
    const unsigned char lead = at(i);
    int length = 0;
    char32_t low = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        low = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    char32_t code = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < low || code > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

bool isTerminal(StandardStream stream)
{
#ifdef Q_OS_WIN
    return ::_isatty(int(stream));
#else
    return ::isatty(int(stream));
#endif
}

namespace {
bool closedAtStart[3] = {};
} // namespace

bool wasClosed(StandardStream stream)
{
    return closedAtStart[stream];
}

void prepareStandardStreams()
{
#ifdef Q_OS_UNIX
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        closedAtStart[fd] = true;
        // The read end of a pipe takes the free number; writes to it fail.
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        if (ends[0] != fd) {
            ::dup2(ends[0], fd);
            ::close(ends[0]);
        }
        ::close(ends[1]);
    }
#else
    for (const StandardStream stream : {StandardOutput, StandardError}) {
        const HANDLE handle =
            GetStdHandle(stream == StandardOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        closedAtStart[stream] = handle == nullptr || handle == INVALID_HANDLE_VALUE;
    }
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
#endif
}

bool noDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

QString nameFromBytes(const QByteArray &bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = sequenceLength(bytes, i);
        if (length == 0) {
            name += QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes.at(i))));
            ++i;
            continue;
        }
        name += QString::fromUtf8(bytes.mid(i, length));
        i += length;
    }
    return name;
}

QByteArray bytesFromName(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool pairedLow = i > 0 && QChar::isHighSurrogate(name.at(i - 1).unicode());
        if (c < FirstEscape || c > LastEscape || pairedLow)
            continue;
        bytes += QStringView(name).sliced(plainFrom, i - plainFrom).toUtf8();
        bytes += char(c - EscapeBase);
        plainFrom = i + 1;
    }
    return bytes + QStringView(name).sliced(plainFrom).toUtf8();
}

QStringList arguments(int argc, char *argv[])
{
    QStringList list;
#ifdef Q_OS_WIN
    // The system's own command line, in UTF-16: argv has only the names
    // the code page can spell.
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i)
        list << QString::fromWCharArray(wide[i]);
    LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i)
        list << nameFromBytes(QByteArray(argv[i]));
#endif
    return list;
}

} // namespace tavlo::files
