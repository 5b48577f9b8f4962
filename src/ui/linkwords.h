// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linkhost.h"

#include <QString>

// The words for what the device link reports: its stages as the status line
// shows them, and its failures as a title and a message. The window shows
// them, and the command-line tool says the same facts on its terminal.
namespace tavlo::words {

QString stageText(LinkStage stage);

// The status-line text for a byte being written: the character, or "." for
// one that does not print, and its code in hexadecimal.
QString byteStatus(unsigned char byte);

struct Report {
    QString title;
    QString message;
};
Report describe(const LinkProblem &problem);

} // namespace tavlo::words
