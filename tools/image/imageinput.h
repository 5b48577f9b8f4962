// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>

namespace tavlo::cli {

// Why an input could not be taken as an image.
struct InputProblem {
    enum class Kind {
        Unreadable, // missing, unreadable, too large
        BadJson,    // begins as JSON but does not parse
        Unsaveable, // a JSON configuration that the save checks refuse
        Terminal,   // "-" on a terminal
    };
    Kind kind = Kind::Unreadable;
    QString message;
    // Broken JSON and a terminal are the caller's mistake: exit status 2.
    bool isUsage() const { return kind == Kind::BadJson || kind == Kind::Terminal; }
};

// A configuration in JSON is a few kilobytes; this bounds what an endless
// input (/dev/zero) or a wrong file can make the tool read.
inline constexpr qint64 LargestJson = 1024 * 1024;

// Whether these bytes are meant as JSON: a "{" after blanks, and no control
// byte but blanks and line ends.
bool looksLikeJson(const QByteArray &bytes);

// An input as an image: an image file as it is, or a JSON configuration as
// the image encode writes from it. "-" is standard input, read once.
Result<QByteArray, InputProblem> readImageInput(const QString &argument,
                                                qint64 limit = LargestJson);

} // namespace tavlo::cli
