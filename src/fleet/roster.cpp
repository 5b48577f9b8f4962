// SPDX-License-Identifier: GPL-3.0-or-later
#include "roster.h"

#include "configjson.h"
#include "displaytext.h"
#include "fields.h"
#include "image.h"
#include "imagediff.h"
#include "savecheck.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace tavlo {

namespace {

// A column of the header: the callsign, or a key of one set.
struct Column {
    QString name;
    int set = -1; // 0..5, or -1 for the callsign
    const SetField *field = nullptr;
};

Result<QList<Column>> readHeader(const QStringList &header)
{
    using Columns = Result<QList<Column>>;
    static const QRegularExpression setKey(QStringLiteral("^set([1-6])\\.(\\w+)$"));
    QList<Column> columns;
    QStringList seen;
    for (const QString &cell : header) {
        const QString name = cell.trimmed();
        if (seen.contains(name))
            return Columns::failure(
                QStringLiteral("the column %1 is there twice").arg(quoted(name)));
        seen << name;
        if (name == u"callsign") {
            columns << Column{name, -1, nullptr};
            continue;
        }
        const auto m = setKey.match(name);
        const SetField *field = m.hasMatch() ? setFieldByKey(m.captured(2)) : nullptr;
        if (!field)
            return Columns::failure(
                QStringLiteral("the column %1 is neither callsign nor setN.KEY with N from 1 to 6 "
                               "and KEY one of %2")
                    .arg(quoted(name), setJsonKeys().join(QStringLiteral(", "))));
        columns << Column{name, m.captured(1).toInt() - 1, field};
    }
    return columns;
}

Result<QJsonValue> flagValue(const QString &cell)
{
    const QString word = cell.trimmed().toLower();
    if (word == u"true" || word == u"yes" || word == u"on" || word == u"1")
        return QJsonValue(true);
    if (word == u"false" || word == u"no" || word == u"off" || word == u"0")
        return QJsonValue(false);
    return Result<QJsonValue>::failure(
        QStringLiteral("%1 is none of true, false, yes, no, on, off, 1 and 0").arg(quoted(cell)));
}

// A list's cell: an entry's text is that entry even where it looks like a
// number (the symbol code "5" is the character 5); "#5" is the entry at
// index 5, as is a plain number that no entry reads.
QJsonValue listCellValue(const SetField &field, const QString &cell)
{
    const QString text = cell.trimmed();
    if (field.list && entryOfText(field.list(), text))
        return QJsonValue(cell);
    bool number = false;
    const int index = (text.startsWith(u'#') ? text.mid(1) : text).toInt(&number);
    return number ? QJsonValue(index) : QJsonValue(cell);
}

// A cell as the JSON form takes it, by the kind of its field.
Result<QJsonValue> cellValue(const Column &column, const QString &cell)
{
    using Value = Result<QJsonValue>;
    if (!column.field)
        return QJsonValue(cell);
    return std::visit(
        [&](auto member) -> Value {
            using Field = std::decay_t<decltype(ConfigSet().*member)>;
            if constexpr (std::is_same_v<Field, QString>) {
                return QJsonValue(cell);
            } else if constexpr (std::is_same_v<Field, bool>) {
                return flagValue(cell);
            } else {
                return listCellValue(*column.field, cell);
            }
        },
        column.field->member);
}

// "row 3, set1.path" for a save problem, naming the column the field has.
QString whereInRow(int row, const SaveProblem &problem)
{
    const QString column = problem.set < 0 ? QStringLiteral("callsign")
                                           : QStringLiteral("set%1.%2")
                                                 .arg(problem.set + 1)
                                                 .arg(QLatin1String(setField(problem.field).key));
    return QStringLiteral("row %1, %2").arg(row).arg(column);
}

Result<RosterRow> applyRow(const QJsonObject &templ, const QList<Column> &columns,
                           const QStringList &cells, int row, bool emptyClears)
{
    using Row = Result<RosterRow>;
    QJsonObject object = templ;
    QJsonArray sets = object.value(QStringLiteral("sets")).toArray();
    for (qsizetype c = 0; c < columns.size(); ++c) {
        const QString cell = cells.value(c);
        const Column &column = columns.at(c);
        const bool text =
            !column.field || std::holds_alternative<QString ConfigSet::*>(column.field->member);
        if (cell.isEmpty() && !(emptyClears && text))
            continue; // the template's value stays
        const Result<QJsonValue> value = cellValue(column, cell);
        if (!value)
            return Row::failure(
                QStringLiteral("row %1, %2: %3").arg(row).arg(column.name, value.error()));
        if (column.set < 0) {
            object.insert(QStringLiteral("callsign"), *value);
            continue;
        }
        QJsonObject set = sets.at(column.set).toObject();
        set.insert(QLatin1String(column.field->key), *value);
        sets.replace(column.set, set);
    }
    object.insert(QStringLiteral("sets"), sets);
    const Result<Configuration> config =
        configurationFromJson(QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (!config)
        return Row::failure(QStringLiteral("row %1: %2").arg(row).arg(config.error()));
    if (const Status<SaveProblem> saveable = checkSaveable(*config); !saveable)
        return Row::failure(QStringLiteral("%1: %2").arg(whereInRow(row, saveable.error()),
                                                         saveable.error().message));
    return RosterRow{row, config->callsign.trimmed(), *config, encodeImage(*config)};
}

} // namespace

Result<QList<RosterRow>> rowsFromTable(const Configuration &templ,
                                       const QList<QStringList> &records, bool emptyClears)
{
    using Rows = Result<QList<RosterRow>>;
    if (records.size() < 2)
        return Rows::failure(QStringLiteral("it needs a header and a row for each device"));
    const Result<QList<Column>> columns = readHeader(records.first());
    if (!columns)
        return Rows::failure(columns.error());
    const QJsonObject object = QJsonDocument::fromJson(configurationToJson(templ)).object();
    QList<RosterRow> rows;
    QStringList problems; // every bad row, so one run of corrections mends them all
    for (int r = 1; r < records.size(); ++r) {
        const QStringList &cells = records.at(r);
        if (cells.size() > columns->size()) {
            problems << QStringLiteral("row %1 has %2 cells, the header %3 columns")
                            .arg(r)
                            .arg(cells.size())
                            .arg(columns->size());
            continue;
        }
        const Result<RosterRow> row = applyRow(object, *columns, cells, r, emptyClears);
        if (row)
            rows << *row;
        else
            problems << row.error();
    }
    if (!problems.isEmpty())
        return Rows::failure(problems.join(u'\n'));
    return rows;
}

namespace {

// The station a row makes: its callsign and the SSID of each set, as the
// device stores them.
QByteArray stationOf(const QByteArray &image)
{
    QByteArray station = image.left(CallsignLength).toUpper();
    for (int s = 0; s < SetCount; ++s)
        station.append(char(image.at(CallsignLength + s * SetBlockSize) & 0x0F));
    return station;
}

} // namespace

QString duplicateRows(const QList<RosterRow> &rows)
{
    QHash<QByteArray, const RosterRow *> first;
    for (const RosterRow &row : rows) {
        const QByteArray station = stationOf(row.image);
        const RosterRow *before = first.value(station);
        if (!before) {
            first.insert(station, &row);
            continue;
        }
        const QString ssid = before->config.sets[0].ssid.trimmed();
        return QStringLiteral("rows %1 and %2 are both %3: give each tracker a callsign or SSID "
                              "of its own, or --allow-duplicates")
            .arg(before->number)
            .arg(row.number)
            .arg(before->callsign + (ssid.isEmpty() || ssid == u"0" ? QString() : u'-' + ssid));
    }
    return QString();
}

QStringList keepTemplateBits(QList<RosterRow> &rows, const QByteArray &templ,
                             const Configuration &opened)
{
    for (RosterRow &row : rows)
        row.image = withUnusedBitsOf(row.image, templ);
    const QByteArray again = withUnusedBitsOf(encodeImage(opened), templ);
    const Result<ImageDiff> lost = diffImages(templ.left(ImageSize), again);
    return lost ? diffLines(*lost) : QStringList();
}

} // namespace tavlo
