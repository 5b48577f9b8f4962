// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file system as the tools use it. File names are kept as the bytes the
// system gave: a name that is not valid UTF-8 is carried in a QString with
// each stray byte as U+DC80 to U+DCFF, so two such names never collapse into
// one, and it reaches the system again byte for byte.
namespace tavlo::files {

enum StandardStream { StandardInput = 0, StandardOutput = 1, StandardError = 2 };

bool isTerminal(StandardStream stream);

// The names that stand for standard input and output wherever a file name
// goes: "-" on the command line becomes these.
inline const QString StandardInputName = QStringLiteral("/dev/stdin");
inline const QString StandardOutputName = QStringLiteral("/dev/stdout");

// Readies standard output and error for a command-line program: a closed one
// would hand its number to the next file opened, and output meant for a
// person would land in it, so it gets a descriptor that fails every write
// instead; on Windows, standard input and output carry bytes, not text.
void prepareStandardStreams();
// Whether prepareStandardStreams() found `stream` closed.
bool wasClosed(StandardStream stream);
// Whether `path` leads to this program's standard output, however it is spelt.
bool leadsToStandardOutput(const QString &path);

// Whether a window cannot be shown: no display on a system that needs one.
bool noDisplay();

// A file name from the system's bytes, and back.
QString nameFromBytes(const QByteArray &bytes);
QByteArray bytesFromName(const QString &name);
// The program's arguments after its name, file names kept whole.
QStringList arguments(int argc, char *argv[]);

// Reads a file, or its first `maxBytes` bytes, without ever creating it.
Result<QByteArray> readFile(const QString &path, qint64 maxBytes = -1);
// The size of a regular file; -1 for anything else or a missing file.
qint64 regularFileSize(const QString &path);

// Whether writeFileSafely() could write `path`: its folder exists and can
// take a new file, or the file can be written in place.
Status<> checkWritable(const QString &path);

// Writes a file whole or not at all where the system allows it. A regular
// file is replaced atomically, keeping its owner, group and mode; one with
// other hard links, or in a folder that takes no new file, is rewritten in
// place so that every link sees the new content. A symbolic link is followed;
// a dangling one is refused. Anything else that exists (a FIFO, a terminal,
// /dev/stdout and other descriptors of this process) is written to directly,
// never replaced.
Status<> writeFileSafely(const QString &path, const QByteArray &bytes);

// Whether two names lead to the same existing file.
bool isSameFile(const QString &a, const QString &b);

} // namespace tavlo::files
