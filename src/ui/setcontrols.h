// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fields.h"
#include "symbolwidgets.h"

#include <QComboBox>
#include <optional>
#include <span>
#include <variant>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tavlo {

// The controls of one set, named after what they show.
struct SetControls {
    QLabel *ssidLabel = nullptr;
    QLineEdit *ssid = nullptr;
    QComboBox *comment = nullptr;
    SymbolStepper *symbol = nullptr;
    QLabel *symbolPicture = nullptr;
    QComboBox *symbolTable = nullptr;
    QComboBox *symbolCode = nullptr;
    SymbolNameBox *symbolName = nullptr;
    QCheckBox *gps = nullptr;
    QCheckBox *coordinates = nullptr;
    QLineEdit *latDegrees = nullptr;
    QLineEdit *latMinutes = nullptr;
    QComboBox *latHemisphere = nullptr;
    QLineEdit *lonDegrees = nullptr;
    QLineEdit *lonMinutes = nullptr;
    QComboBox *lonHemisphere = nullptr;
    QCheckBox *beacon = nullptr;
    QComboBox *interval = nullptr;
    QLineEdit *path = nullptr;
};

// The member of SetControls that a control fills, or none, and its kind: a
// text box shows a text, a check box a flag, a list an entry, the stepper a
// number.
using TextSlot = QLineEdit *SetControls::*;
using CheckSlot = QCheckBox *SetControls::*;
using ListSlot = QComboBox *SetControls::*;
using StepperSlot = SymbolStepper *SetControls::*;
using CaptionSlot = QLabel *SetControls::*;
using NameBoxSlot = SymbolNameBox *SetControls::*;
// A control that nothing names: a field's control that only its row knows.
template <typename Widget> struct Unnamed {
};
using ControlSlot =
    std::variant<TextSlot, CheckSlot, ListSlot, StepperSlot, CaptionSlot, NameBoxSlot,
                 Unnamed<QLineEdit>, Unnamed<QCheckBox>, Unnamed<QComboBox>>;

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

// One control of a set: what it fills, the field it shows (none for a
// caption, the symbol's picture and its name), its name on the form (its
// objectName), where it sits, its place in the keyboard order (0: none),
// (a field that needs coordinates is enabled only with Prog Coord's).
struct ControlRow {
    ControlSlot control;
    std::optional<FieldId> field;
    const char *formName;
    Twips at;
    int tabPlace = 0;
    const char *caption = nullptr; // a caption that no field names
};

// Every control of a set, in the order opening an image fills them, so that
// the symbol picker and the coordinate switch react as to typing.
std::span<const ControlRow> setControlRows();

// The entries of a list as a model that the six sets share.
QAbstractItemModel *sharedListModel(const QStringList &entries);

} // namespace tavlo
