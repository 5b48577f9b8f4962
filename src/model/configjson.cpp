// SPDX-License-Identifier: GPL-3.0-or-later
#include "configjson.h"

#include "displaytext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>
#include <limits>

namespace tavlo {

namespace {

// Key names of the JSON form, one per field.
namespace Key {
constexpr auto Callsign = "callsign";
constexpr auto Sets = "sets";
constexpr auto Ssid = "ssid";
constexpr auto Beacon = "beacon";
constexpr auto Gps = "gps";
constexpr auto Symbol = "symbol";
constexpr auto SymbolTable = "symbolTable";
constexpr auto SymbolCode = "symbolCode";
constexpr auto Comment = "comment";
constexpr auto Interval = "interval";
constexpr auto Coordinates = "coordinates";
constexpr auto LatDegrees = "latDegrees";
constexpr auto LatMinutes = "latMinutes";
constexpr auto LatHemisphere = "latHemisphere";
constexpr auto LonDegrees = "lonDegrees";
constexpr auto LonMinutes = "lonMinutes";
constexpr auto LonHemisphere = "lonHemisphere";
constexpr auto Path = "path";
} // namespace Key

QByteArray jsonString(const QString &text)
{
    // Let Qt do the escaping, then take the string out of its one-element array.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray jsonEntry(const Entry &entry)
{
    return entry ? QByteArray::number(*entry) : QByteArrayLiteral("null");
}

QByteArray jsonBool(bool value)
{
    return value ? "true" : "false";
}

class SetReader {
public:
    SetReader(const QJsonObject &object, QString where)
        : m_object(object)
        , m_where(std::move(where))
    {
    }

    void text(const char *key, QString &field)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isString())
            return fail(key, QStringLiteral("must be a text"));
        field = value.toString();
    }

    void flag(const char *key, bool &field)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isBool())
            return fail(key, QStringLiteral("must be true or false"));
        field = value.toBool();
    }

    void number(const char *key, int &field)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!isWholeNumber(value))
            return fail(key, QStringLiteral("must be a whole number"));
        if (!fitsInt(value))
            return fail(key, QStringLiteral("is out of range"));
        field = value.toInt();
    }

    void entry(const char *key, Entry &field)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (value.isNull()) {
            field.reset();
            return;
        }
        if (!isWholeNumber(value))
            return fail(key, QStringLiteral("must be a whole number or null"));
        if (!fitsInt(value))
            return fail(key, QStringLiteral("is out of range"));
        field = value.toInt();
    }

    // Call after every known key was taken: what is left is unknown.
    QString finish()
    {
        if (m_error.isEmpty() && !m_object.isEmpty())
            fail(m_object.keys().first(), QStringLiteral("is not a known key"));
        return m_error;
    }

private:
    static bool isWholeNumber(const QJsonValue &value)
    {
        if (!value.isDouble())
            return false;
        const double d = value.toDouble();
        return std::isfinite(d) && std::floor(d) == d;
    }
    static bool fitsInt(const QJsonValue &value)
    {
        const double d = value.toDouble();
        return d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max();
    }

    QJsonValue take(const char *key)
    {
        const QString name = QString::fromLatin1(key);
        const QJsonValue value = m_object.value(name);
        m_object.remove(name);
        return value;
    }

    void fail(const QString &key, const QString &what)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1: %2 %3").arg(m_where, quoted(key), what);
    }

    QJsonObject m_object;
    QString m_where;
    QString m_error;
};

// The first key that stands twice in one object of a JSON text Qt has
// already parsed, where it would silently keep the last value.
std::optional<QString> duplicateKey(const QByteArray &json)
{
    struct Level {
        bool object = false;
        bool expectKey = false;
        QSet<QString> keys;
    };
    QList<Level> levels;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (c == '{' || c == '[') {
            levels.append({c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (!levels.isEmpty())
                levels.removeLast();
        } else if (c == ',') {
            if (!levels.isEmpty() && levels.last().object)
                levels.last().expectKey = true;
        } else if (c == '"') {
            const qsizetype start = i;
            for (++i; i < json.size() && json.at(i) != '"'; ++i)
                if (json.at(i) == '\\')
                    ++i;
            if (levels.isEmpty() || !levels.last().expectKey)
                continue;
            levels.last().expectKey = false;
            // Qt decodes the escapes: "\u0041" and "A" are the same key.
            const QByteArray token = '[' + json.mid(start, i - start + 1) + ']';
            const QString key = QJsonDocument::fromJson(token).array().at(0).toString();
            if (levels.last().keys.contains(key))
                return key;
            levels.last().keys.insert(key);
        }
    }
    return std::nullopt;
}

} // namespace

const QStringList &setJsonKeys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const char *key :
             {Key::Ssid, Key::Beacon, Key::Gps, Key::Symbol, Key::SymbolTable, Key::SymbolCode,
              Key::Comment, Key::Interval, Key::Coordinates, Key::LatDegrees, Key::LatMinutes,
              Key::LatHemisphere, Key::LonDegrees, Key::LonMinutes, Key::LonHemisphere, Key::Path})
            list << QString::fromLatin1(key);
        return list;
    }();
    return keys;
}

QByteArray configurationToJson(const Configuration &config)
{
    QByteArray out = "{\n    \"callsign\": " + jsonString(config.Calls) + ",\n    \"sets\": [";
    for (int i = 0; i < SetCount; ++i) {
        const ConfigSet &s = config.sets[i];
        const std::pair<const char *, QByteArray> fields[] = {
            {Key::Ssid, jsonString(s.ssid)},
            {Key::Beacon, jsonBool(s.BCN)},
            {Key::Gps, jsonBool(s.GPS)},
            {Key::Symbol, QByteArray::number(s.VSICO)},
            {Key::SymbolTable, jsonEntry(s.ICOT)},
            {Key::SymbolCode, jsonEntry(s.ICOC)},
            {Key::Comment, jsonEntry(s.POSCA)},
            {Key::Interval, jsonEntry(s.TXI)},
            {Key::Coordinates, jsonBool(s.CORDS)},
            {Key::LatDegrees, jsonString(s.LAD)},
            {Key::LatMinutes, jsonString(s.LAM)},
            {Key::LatHemisphere, jsonEntry(s.LAS)},
            {Key::LonDegrees, jsonString(s.LOD)},
            {Key::LonMinutes, jsonString(s.LOM)},
            {Key::LonHemisphere, jsonEntry(s.LOS)},
            {Key::Path, jsonString(s.PATH)},
        };
        out += i == 0 ? "\n        {" : ",\n        {";
        bool first = true;
        for (const auto &[key, value] : fields) {
            out += first ? "\n" : ",\n";
            out += "            \"" + QByteArray(key) + "\": " + value;
            first = false;
        }
        out += "\n        }";
    }
    out += "\n    ]\n}\n";
    return out;
}

Result<Configuration> configurationFromJson(const QByteArray &json)
{
    using Parsed = Result<Configuration>;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull())
        return Parsed::failure(QStringLiteral("not valid JSON: %1 at offset %2")
                                   .arg(parseError.errorString())
                                   .arg(parseError.offset));
    if (!doc.isObject())
        return Parsed::failure(QStringLiteral("the configuration must be a JSON object"));
    if (const auto key = duplicateKey(json))
        return Parsed::failure(
            QStringLiteral("the key %1 stands twice in one object").arg(quoted(*key)));

    Configuration config;
    QJsonObject root = doc.object();
    const QJsonValue sets = root.take(QLatin1String(Key::Sets));
    SetReader top(root, QStringLiteral("Configuration"));
    top.text(Key::Callsign, config.Calls);
    if (const QString error = top.finish(); !error.isEmpty())
        return Parsed::failure(error);
    if (sets.isUndefined())
        return config;

    if (!sets.isArray() || sets.toArray().size() != SetCount)
        return Parsed::failure(
            QStringLiteral("Configuration: \"sets\" must be a list of six sets"));
    const QJsonArray array = sets.toArray();
    for (int i = 0; i < SetCount; ++i) {
        const QString where = QStringLiteral("Set %1").arg(i + 1);
        if (!array.at(i).isObject())
            return Parsed::failure(where + QStringLiteral(": must be a JSON object"));
        ConfigSet &s = config.sets[i];
        SetReader r(array.at(i).toObject(), where);
        r.text(Key::Ssid, s.ssid);
        r.flag(Key::Beacon, s.BCN);
        r.flag(Key::Gps, s.GPS);
        r.number(Key::Symbol, s.VSICO);
        r.entry(Key::SymbolTable, s.ICOT);
        r.entry(Key::SymbolCode, s.ICOC);
        r.entry(Key::Comment, s.POSCA);
        r.entry(Key::Interval, s.TXI);
        r.flag(Key::Coordinates, s.CORDS);
        r.text(Key::LatDegrees, s.LAD);
        r.text(Key::LatMinutes, s.LAM);
        r.entry(Key::LatHemisphere, s.LAS);
        r.text(Key::LonDegrees, s.LOD);
        r.text(Key::LonMinutes, s.LOM);
        r.entry(Key::LonHemisphere, s.LOS);
        r.text(Key::Path, s.PATH);
        if (const QString error = r.finish(); !error.isEmpty())
            return Parsed::failure(error);
    }
    return config;
}

} // namespace tavlo
