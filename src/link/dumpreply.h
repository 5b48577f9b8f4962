// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "image.h"

#include <QByteArray>

namespace tavlo {

// A reply to the dump command as it arrived: the count byte, then what came
// after it until the device fell quiet.
struct DumpReply {
    int count = -1;   // the count byte; -1 when nothing came
    QByteArray bytes; // everything that arrived, the count byte first
    qint64 received() const { return bytes.size(); }
    QByteArray memory() const { return bytes.mid(1); }
    // Exactly the count byte and as many bytes as it announced.
    bool isExact() const { return count >= 0 && bytes.size() == count + 1; }
    // What this device's 127-byte memory answers.
    bool isStandard() const { return isExact() && count == ImageSize; }
    // NMEA text ("$GPRMC,..."), as a GPS receiver on the wrong port sends it.
    bool isNmea() const;
};

} // namespace tavlo
