// SPDX-License-Identifier: GPL-3.0-or-later
#include "setcontrols.h"

#include <QApplication>
#include <QHash>
#include <QStringListModel>
#include <array>

namespace tavlo {

namespace {

// The entries of a list. Typing in a closed list picks the first entry, from
// the top, whose text as a reader sees it (without the blanks that align the
// intervals) starts with what was typed: "1" finds "  1 min" wherever the
// list stood, "10" finds " 10 min".
class EntryList : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override
    {
        if (role != Qt::DisplayRole || (flags & Qt::MatchTypeMask) != Qt::MatchStartsWith ||
            value.typeId() != QMetaType::QString)
            return QStringListModel::match(start, role, value, hits, flags);
        const Qt::CaseSensitivity cs =
            flags & Qt::MatchCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        QModelIndexList found;
        for (int row = 0; row < rowCount() && (hits < 0 || found.size() < hits); ++row) {
            const QModelIndex entry = index(row);
            if (entry.data().toString().trimmed().startsWith(value.toString(), cs))
                found << entry;
        }
        return found;
    }
};

} // namespace

// One model per list, shared by the six sets: each box keeps its own choice,
// and start-up makes each list once instead of six times.
QAbstractItemModel *sharedListModel(const QStringList &entries)
{
    static QHash<const QStringList *, EntryList *> models;
    EntryList *&model = models[&entries];
    if (!model)
        model = new EntryList(entries, qApp);
    return model;
}

namespace {

using C = SetControls;
using F = FieldId;
constexpr auto Rows = std::to_array<ControlRow>({
    {CheckSlot(&C::beacon), F::Beacon, "BCN", {960, 1920, 1215, 375}, 14},
    {CaptionSlot(&C::ssidLabel), {}, "Label2", {120, 240, 495, 255}, 0, "SSID"},
    {TextSlot(&C::ssid), F::Ssid, "ssid", {600, 240, 615, 405}, 1},
    {ListSlot(&C::interval), F::Interval, "TXI", {2280, 1920, 1575, 315}, 15},
    {CheckSlot(&C::gps), F::Gps, "GPS", {2760, 600, 1095, 375}, 6},
    {ListSlot(&C::comment), F::Comment, "POSCA", {1800, 240, 2175, 315}, 2},
    {ListSlot(&C::symbolTable), F::SymbolTable, "ICOT", {720, 840, 615, 315}, 4},
    {ListSlot(&C::symbolCode), F::SymbolCode, "ICOC", {1320, 840, 615, 315}, 5},
    {CaptionSlot(&C::symbolPicture), {}, "ICOI", {600, 720, 495, 525}},
    {StepperSlot(&C::symbol), F::Symbol, "VSICO", {360, 720, 255, 495}, 3},
    {NameBoxSlot(&C::symbolName), {}, "ICO", {360, 1320, 1695, 315}, 0, "Symbol name"},
    {ListSlot(&C::latHemisphere), F::LatHemisphere, "LAS", {4440, 960, 615, 315}, 10},
    {CheckSlot(&C::coordinates), F::Coordinates, "CORDS", {3840, 600, 1215, 375}, 7},
    {TextSlot(&C::latDegrees), F::LatDegrees, "LAD", {2760, 960, 495, 375}, 8},
    {TextSlot(&C::latMinutes), F::LatMinutes, "LAM", {3360, 960, 975, 375}, 9},
    {ListSlot(&C::lonHemisphere), F::LonHemisphere, "LOS", {4440, 1440, 615, 315}, 13},
    {TextSlot(&C::lonDegrees), F::LonDegrees, "LOD", {2760, 1440, 495, 375}, 11},
    {TextSlot(&C::lonMinutes), F::LonMinutes, "LOM", {3360, 1440, 975, 375}, 12},
    {TextSlot(&C::path), F::Path, "PATH", {240, 2280, 4695, 375}, 16},
});

} // namespace

std::span<const ControlRow> setControlRows()
{
    return Rows;
}

} // namespace tavlo
