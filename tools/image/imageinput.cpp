// SPDX-License-Identifier: GPL-3.0-or-later
#include "imageinput.h"

#include "cli.h"
#include "configjson.h"
#include "displaytext.h"
#include "image.h"
#include "imagefile.h"
#include "savecheck.h"

namespace tavlo::cli {

bool looksLikeJson(const QByteArray &data)
{
    // Some editors on Windows begin a UTF-8 text with a byte-order mark.
    const QByteArray bytes = data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data;
    // A callsign may begin with "{", but an image holds control bytes (its
    // end byte is 0), which a JSON text never does.
    for (char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    for (char c : bytes) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        return c == '{';
    }
    return false;
}

Result<QByteArray, InputProblem> readImageInput(const QString &argument, qint64 limit)
{
    using Image = Result<QByteArray, InputProblem>;
    using Kind = InputProblem::Kind;
    if (const QString problem = terminalProblem(argument, QString()); !problem.isEmpty())
        return Image::failure({Kind::Terminal, problem});
    const Result<QByteArray> read = readBoundedFile(inputPath(argument), limit);
    if (!read)
        return Image::failure(
            {Kind::Unreadable,
             QStringLiteral("Could not read %1: %2").arg(printable(argument), read.error())});
    if (!looksLikeJson(*read))
        return *read;
    const Result<Configuration> parsed = configurationFromJson(*read);
    if (!parsed)
        return Image::failure(
            {Kind::BadJson, QStringLiteral("%1: %2").arg(printable(argument), parsed.error())});
    if (const Status<SaveProblem> saveable = checkSaveable(*parsed); !saveable)
        return Image::failure(
            {Kind::Unsaveable,
             QStringLiteral("%1: %2").arg(printable(argument), saveable.error().message)});
    return encodeImage(*parsed);
}

} // namespace tavlo::cli
