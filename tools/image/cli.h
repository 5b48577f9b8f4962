// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commandline.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tavlo::cli {

// OutputFailed: standard output could not be written (closed or full); it
// never means that something was found.
enum ExitStatus { Success = 0, Refused = 1, Usage = 2, DeviceFailure = 3, OutputFailed = 4 };

// One line on standard error, after the program's name, fit for a terminal:
// line breaks become blanks and control characters escapes.
void say(const QString &message);
// Says each piece of advice on a configuration that is about to be stored, as
// a warning that stops nothing.
void warnAbout(const QByteArray &image);
int fail(int status, const QString &message);
// Wrong usage: the message, and where to read how it goes.
int usage(const QString &message, const char *command = nullptr);

// Writes to standard output; false, said on standard error, when it fails
// (a full disk, a closed output). A closed output (EPIPE) is also a request
// to stop, as SIGPIPE would be if it were not ignored.
bool writeOut(const QByteArray &bytes);
// Writes diagnostics to standard error, with the same care for a closed one.
void writeError(const QByteArray &bytes);

// Why "-" cannot be used here, or empty: nobody types an input into a
// waiting program by accident, and an image written to a terminal is noise.
QString terminalProblem(const QString &input, const QString &binaryOutput);

// `text` in lines of at most `width` characters, each indented by `indent`.
QString wrapped(const QString &text, int indent, int width);

// "-" stands for standard input or output where a file is read or written.
QString inputPath(const QString &argument);
QString outputPath(const QString &argument);

using commandline::Arguments;
using commandline::Options;

} // namespace tavlo::cli
