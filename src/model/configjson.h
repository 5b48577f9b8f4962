// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavlo {

// The configuration as a JSON document, keys in a fixed order so that files
// read well and compare as text.
QByteArray configurationToJson(const Configuration &config);

// The keys of a set in the JSON form, in the order they are written.
const QStringList &setJsonKeys();

// Reads the JSON form. A missing key keeps the state of a new window; a
// wrong type, an unknown key or other than six sets is an error. List entries
// are not range-checked here: the save checks do that.
Result<Configuration> configurationFromJson(const QByteArray &json);

} // namespace tavlo
