// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devicelink.h"
#include "linkfacts.h"

#include <QString>

// The words for what the device link reports: its stages as the status line
// shows them, and its failures as a title and a message. The window shows
// them, and the command-line tool says the same facts on its terminal.
namespace tavlo::words {

QString stageText(LinkStage stage);

// The status-line text for a byte being written: the character, or "." for
// one that does not print, and its code in hexadecimal.
QString byteStatus(unsigned char byte);

// What a reply that is no memory dump most likely came from: a GPS receiver
// (its NMEA text), stray bytes, or another device.
QString whatAnswered(const DumpReply &reply);

// Two paragraphs on what to check when the device does not answer as it
// should: the cable, its power, the port.
QString checkTheCable(const QString &port);

// What the port box says it is connected to: "Port /dev/ttyUSB0 open", or
// "No port open", with why where a problem closed it.
QString portOpen(const QString &port);
QString noPortOpen(const LinkProblem *why = nullptr);

struct Report {
    QString title;
    QString message;
};
Report describe(const LinkProblem &problem);

} // namespace tavlo::words
