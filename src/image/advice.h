// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tavlo {

// Advice on a configuration that an experienced APRS operator would give:
// settings the image holds but that misbehave on the air. Never a refusal.
enum class Severity { Warning, Note };

// One kind of advice, as the manual page lists it.
struct AdviceCheck {
    const char *id; // stable: "path-obsolete"
    Severity severity;
    const char *field; // the JSON key it concerns, or "" for a set or the whole configuration
    const char *reason;
    const char *source;
};

// Every check, in the order findings are listed.
const QList<AdviceCheck> &adviceChecks();

struct Finding {
    QString id;
    int set = -1;    // 0..5, or -1 when it concerns no one set
    QList<int> sets; // the sets it concerns, when more than one
    QString field;   // the JSON key, or empty
    Severity severity = Severity::Warning;
    QString message; // one line: `Set 2 path: "RELAY" uses RELAY, ...`
    QString why;     // one line of why
};

// The advice on a configuration that saving accepts.
QList<Finding> adviseOn(const Configuration &config);

// [{"id": ..., "set": 2 or null, "sets": [the sets it concerns], "field": ... or
// null, "severity": "warning" or "note", "message": ..., "why": ...}], one line.
QByteArray findingsJson(const QList<Finding> &findings);

QString severityName(Severity severity);

// Warnings are what a check's exit status counts; notes only with --strict.
bool isWarning(const Finding &finding);

} // namespace tavlo
