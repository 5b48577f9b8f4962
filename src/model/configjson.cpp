// SPDX-License-Identifier: GPL-3.0-or-later
#include "configjson.h"

#include "displaytext.h"
#include "fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>
#include <limits>
#include <optional>

namespace tavlo {

namespace {

constexpr auto CallsignKey = "callsign";
constexpr auto SetsKey = "sets";

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

QByteArray jsonValue(const ConfigSet &set, const SetField &field)
{
    return std::visit(
        [&set](auto member) -> QByteArray {
            const auto &value = set.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, QString>)
                return jsonString(value);
            else if constexpr (std::is_same_v<Value, bool>)
                return jsonBool(value);
            else if constexpr (std::is_same_v<Value, int>)
                return QByteArray::number(value);
            else
                return jsonEntry(value);
        },
        field.member);
}

class SetReader {
public:
    SetReader(const QJsonObject &object, QString where)
        : m_object(object)
        , m_where(std::move(where))
    {
    }

    // Reads `key` into `field` when it is there, as its type asks: a text, a
    // flag, or a number, which for a list's entry may also be the entry's text
    // and for an entry null.
    template <typename Value>
    void read(const char *key, Value &field, const QStringList *list = nullptr)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (const Result<Value> read = valueOf(value, list, static_cast<Value *>(nullptr)))
            field = *read;
        else if (read.error().isEmpty() && m_field)
            notAnEntry(value.toString());
        else
            fail(key, read.error());
    }

    // "Set 1: "car" is not a symbol; symbols are: KENWOOD, Jogger, ..."
    void notAnEntry(const QString &given)
    {
        if (!m_error.isEmpty())
            return;
        const QString what = QString::fromLatin1(m_field->label);
        QStringList entries;
        for (const QString &entry : m_field->list())
            entries << entry.trimmed();
        m_error = QStringLiteral("%1: %2 is not a %3; %3s are: %4")
                      .arg(m_where, quoted(given), what, entries.join(QStringLiteral(", ")));
    }

    void field(const SetField &field, ConfigSet &set)
    {
        const QStringList *list = field.list ? &field.list() : nullptr;
        m_field = &field;
        std::visit([&](auto member) { read(field.key, set.*member, list); }, field.member);
        m_field = nullptr;
    }

    // Call after every known key was taken: what is left is unknown.
    QString finish()
    {
        if (m_error.isEmpty() && !m_object.isEmpty())
            fail(m_object.keys().first(), QStringLiteral("is not a known key"));
        return m_error;
    }

private:
    // A list's entry may also be given as its text, as the window shows it,
    // in capitals or not.
    static std::optional<int> entryNamed(const QJsonValue &value, const QStringList *list)
    {
        if (!list || !value.isString())
            return std::nullopt;
        return entryOfText(*list, value.toString());
    }

    static Result<QString> valueOf(const QJsonValue &value, const QStringList *, QString *)
    {
        if (!value.isString())
            return Result<QString>::failure(QStringLiteral("must be a text"));
        return value.toString();
    }

    static Result<bool> valueOf(const QJsonValue &value, const QStringList *, bool *)
    {
        if (!value.isBool())
            return Result<bool>::failure(QStringLiteral("must be true or false"));
        return value.toBool();
    }

    // A number, or a list's entry (int or Entry), which may also be given by
    // its text; an Entry may also be null.
    template <typename Value>
    static Result<Value> valueOf(const QJsonValue &value, const QStringList *list, Value *)
    {
        using Failure = Result<Value>;
        constexpr bool mayBeNone = std::is_same_v<Value, Entry>;
        if (mayBeNone && value.isNull())
            return Value();
        if (const auto named = entryNamed(value, list))
            return Value(*named);
        if (list && value.isString())
            return Failure::failure(QString()); // said with the entries by read()
        if (!isWholeNumber(value))
            return Failure::failure(mayBeNone ? QStringLiteral("must be a whole number or null")
                                              : QStringLiteral("must be a whole number"));
        if (!fitsInt(value))
            return Failure::failure(QStringLiteral("is out of range"));
        return Value(value.toInt());
    }

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
    const SetField *m_field = nullptr; // the field being read, for its list's entries
};

// Finds the first key that stands twice in one object of a JSON text Qt has
// already parsed, where it would silently keep the last value.
class DuplicateKeyFinder {
public:
    explicit DuplicateKeyFinder(const QByteArray &json)
        : m_json(json)
    {
    }

    std::optional<QString> find()
    {
        for (m_i = 0; m_i < m_json.size(); ++m_i) {
            const char c = m_json.at(m_i);
            if (c == '{' || c == '[')
                m_levels.append({c == '{', c == '{', {}});
            else if ((c == '}' || c == ']') && !m_levels.isEmpty())
                m_levels.removeLast();
            else if (c == ',' && !m_levels.isEmpty() && m_levels.last().object)
                m_levels.last().expectKey = true;
            else if (c == '"' && string())
                return m_duplicate;
        }
        return std::nullopt;
    }

private:
    struct Level {
        bool object = false;
        bool expectKey = false;
        QSet<QString> keys;
    };

    // Steps over the string that starts here; true when it is a key seen before.
    bool string()
    {
        const qsizetype start = m_i;
        for (++m_i; m_i < m_json.size() && m_json.at(m_i) != '"'; ++m_i)
            if (m_json.at(m_i) == '\\')
                ++m_i;
        if (m_levels.isEmpty() || !m_levels.last().expectKey)
            return false;
        m_levels.last().expectKey = false;
        // Qt decodes the escapes: "\u0041" and "A" are the same key.
        const QByteArray token = '[' + m_json.mid(start, m_i - start + 1) + ']';
        const QString key = QJsonDocument::fromJson(token).array().at(0).toString();
        if (m_levels.last().keys.contains(key)) {
            m_duplicate = key;
            return true;
        }
        m_levels.last().keys.insert(key);
        return false;
    }

    const QByteArray &m_json;
    qsizetype m_i = 0;
    QList<Level> m_levels;
    QString m_duplicate;
};

std::optional<QString> duplicateKey(const QByteArray &json)
{
    return DuplicateKeyFinder(json).find();
}

} // namespace

const QStringList &setJsonKeys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const SetField &field : setFields())
            list << QString::fromLatin1(field.key);
        return list;
    }();
    return keys;
}

QByteArray configurationToJson(const Configuration &config)
{
    QByteArray out = QByteArray("{\n    \"") + CallsignKey + "\": " + jsonString(config.callsign) +
                     ",\n    \"" + SetsKey + "\": [";
    for (int i = 0; i < SetCount; ++i) {
        const ConfigSet &s = config.sets[i];
        out += i == 0 ? "\n        {" : ",\n        {";
        bool first = true;
        for (const SetField &field : setFields()) {
            out += first ? "\n" : ",\n";
            out += "            \"" + QByteArray(field.key) + "\": " + jsonValue(s, field);
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
    const QJsonValue sets = root.take(QLatin1String(SetsKey));
    SetReader top(root, QStringLiteral("Configuration"));
    top.read(CallsignKey, config.callsign);
    if (const QString error = top.finish(); !error.isEmpty())
        return Parsed::failure(error);
    if (sets.isUndefined())
        return config;

    // Sets left out are as a new window shows them.
    if (!sets.isArray() || sets.toArray().size() > SetCount)
        return Parsed::failure(
            QStringLiteral("Configuration: \"sets\" must be a list of at most six sets"));
    const QJsonArray array = sets.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("Set %1").arg(i + 1);
        if (!array.at(i).isObject())
            return Parsed::failure(where + QStringLiteral(": must be a JSON object"));
        ConfigSet &s = config.sets[i];
        SetReader r(array.at(i).toObject(), where);
        for (const SetField &field : setFields())
            r.field(field, s);
        if (const QString error = r.finish(); !error.isEmpty())
            return Parsed::failure(error);
    }
    return config;
}

} // namespace tavlo
