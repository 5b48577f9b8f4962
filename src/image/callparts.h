// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavlo {

// A callsign as typed with a prefix or suffix, "EA8/OK1ABC" or "G4A/P": the
// home call is the longest part that is a call (letters and digits, with a
// digit); what comes before it is the prefix, after it the suffix.
struct CallParts {
    QString home;
    QString prefix; // "EA8/", or empty
    QString suffix; // "/P", or empty
    bool slashed() const { return !prefix.isEmpty() || !suffix.isEmpty(); }
    // The SSID that says on the air what /P, /M, /MM or /AM says on voice:
    // "-7 for a handheld"; empty for another suffix.
    QString ssidForSuffix() const;
    // The prefix "F/", the suffix "/P", or both.
    QString describe() const;
};
CallParts splitCall(const QString &upper);

// The words both the save check and the advice use for a call with a slash:
// what to type instead, and where the prefix or suffix can go.
QString plainCallAdvice(const CallParts &parts);

} // namespace tavlo
