// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace tavlo {

// What a simulated tracker gets wrong, for trials and tests: the switches
// live here once, for the simulator on a pseudo-terminal and the tests' fake
// port alike.
struct TrackerFaults {
    bool silent = false;       // never answers a dump
    int shortReply = -1;       // sends only this many bytes of a reply
    int corrupt = -1;          // memory offset whose byte is flipped in every reply
    int flaky = -1;            // memory offset whose byte is flipped in every other reply
    int count = -1;            // answers with this count byte and as many memory bytes
    int hangupAfter = -1;      // received bytes before the device goes away
    bool stray = false;        // stray bytes at every wake-up ESC
    bool talker = false;       // no tracker: ignores every command
    QList<QByteArray> replies; // answers to the next dumps, in this order, as they stand
};

// The tracker's side of the protocol: ESC "D" and the bytes after it go into
// memory from offset 0, ESC ESC "U" is answered with the count 127 and the
// first 127 bytes. It takes bytes as one read delivers them and says what the
// device answers; the simulator and the fake port carry the bytes.
class TrackerCore {
public:
    static constexpr int EepromSize = 256; // more than the image: filler lands behind it

    struct Reaction {
        QByteArray answer;   // sent back at once
        bool hungUp = false; // the device went away in the middle of the bytes
        QStringList notes;   // for a log: "write mode"
    };

    QByteArray memory = QByteArray(EepromSize, '\0');
    TrackerFaults faults;

    Reaction receive(const QByteArray &chunk);
    // The port was opened anew: the device starts over, its memory kept.
    void reopened();
    qint64 received() const { return m_received; }

private:
    void command(char byte, Reaction &reaction);
    QByteArray dump(Reaction &reaction);

    QByteArray m_recent; // the last command bytes
    bool m_writing = false;
    bool m_woken = false;
    int m_offset = 0;
    qint64 m_received = 0;
    int m_answered = 0; // dumps answered
};

} // namespace tavlo
