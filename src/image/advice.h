// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "fields.h"
#include "image.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tavlo {

// Advice on a configuration that an experienced APRS operator would give:
// settings the image holds but that misbehave on the air. Never a refusal.
enum class Severity { Warning, Note };

// Every kind of advice, in the order findings are listed.
enum class CheckId {
    MemoryErased,
    CallsignEmpty,
    CallsignPlaceholder,
    CallsignNoDigit,
    CallsignLowercase,
    CallsignSuffix,
    CallsignCharacters,
    SsidEmpty,
    SsidUse,
    SsidSymbol,
    PathObsolete,
    PathDirectional,
    PathHops,
    PathThreeHops,
    PathWide1First,
    PathSpaceGround,
    PathAirborne,
    PathNotAPath,
    BeaconFast,
    BeaconRateHops,
    BeaconFixedOften,
    BeaconAllOff,
    CommentEmergency,
    PositionZero,
    PositionOutOfRange,
    PositionNone,
    PositionGpsAndFixed,
    PositionInitialText,
    SetUnused,
};

// One kind of advice, as the manual page lists it.
struct AdviceCheck {
    CheckId check;
    const char *id; // stable: "path-obsolete"
    Severity severity;
    std::optional<FieldId> field; // none for a set or the whole configuration
    const char *reason;
    const char *source;
};

// Every check, in the order findings are listed.
const QList<AdviceCheck> &adviceChecks();

struct Finding {
    CheckId check = CheckId::MemoryErased;
    QString id;                   // the check's stable id
    int set = -1;                 // 0..5, or -1 when it concerns no one set
    QList<int> sets;              // the sets it concerns, when more than one
    std::optional<FieldId> field; // none for a set or the whole configuration
    Severity severity = Severity::Warning;
    QString message; // one line: `Set 2 path: "RELAY" uses RELAY, ...`
    QString why;     // one line of why
};

// The advice on a configuration that saving accepts. Parts that read as
// erased memory, or are named in `erased`, are said to be erased, and
// nothing else is said of them.
QList<Finding> adviseOn(const Configuration &config, const ErasedParts &erased = {});

// [{"id": ..., "set": 2 or null, "sets": [the sets it concerns], "field": ... or
// null, "severity": "warning" or "note", "message": ..., "why": ...}], one line.
QByteArray findingsJson(const QList<Finding> &findings);

QString severityName(Severity severity);

// Warnings are what a check's exit status counts; notes only with --strict.
bool isWarning(const Finding &finding);

} // namespace tavlo
