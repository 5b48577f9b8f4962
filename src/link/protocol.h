// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program and the tracker say to each other over the serial line.
// The link, the simulated device and the tests' fake device all speak from
// this one page.

#include <QByteArray>
#include <QtGlobal>
#include <chrono>

namespace tavlo::protocol {

inline constexpr int BaudRate = 9600; // 8 data bits, no parity, one stop bit

inline constexpr char Esc = 27;
// Sent after every opening of the port: it wakes the device.
inline const QByteArray WakeUp(1, Esc);
// ESC "D": the image bytes follow, one a tick.
inline const QByteArray WriteCommand("\x1b"
                                     "D");
// ESC ESC "U": the device answers with a count byte c and c memory bytes.
inline const QByteArray DumpCommand("\x1b\x1b"
                                    "U");
// The count byte of this device's answer: its memory is one 127-byte image.
inline constexpr int MemorySize = 127;

// After an image longer than FillerAfter bytes the device expects as many
// filler bytes as the image has beyond them; they are never verified.
inline constexpr qint64 FillerAfter = 64;
inline constexpr char Filler = char(0xFF);
constexpr qint64 fillerCount(qint64 imageSize)
{
    return imageSize > FillerAfter ? imageSize - FillerAfter : 0;
}

// Time on the link is counted in ticks of the link's timer.
using Tick = std::chrono::duration<int, std::ratio<1, 100>>; // 10 ms
// One tick after the write command and after every byte written.
inline constexpr Tick ByteGap{1};
// A reset holds DTR and RTS low this long: the device restarts.
inline constexpr Tick ResetHold{100};
// A reply may take this long to begin, or to go on, before it counts as missing.
inline constexpr Tick ReplyTimeout{200};
// After a complete reply, a byte that still comes within this long shows
// that it was no memory dump.
inline constexpr Tick ReplyQuiet{3};

} // namespace tavlo::protocol
