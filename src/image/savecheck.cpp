// SPDX-License-Identifier: GPL-3.0-or-later
#include "savecheck.h"

#include <QRegularExpression>

#include "callparts.h"
#include "coordinate.h"
#include "displaytext.h"
#include "pathcodec.h"
#include "textnumber.h"

namespace tavlo {

namespace {

constexpr int MaxSsid = 15;
constexpr char16_t FirstPrintable = 32;
constexpr char16_t LastPrintable = 126;

// The first character outside printable ASCII, if any, as a whole code
// point: a character beyond U+FFFF is one character, not two UTF-16 units.
std::optional<char32_t> unprintable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= FirstPrintable && c <= LastPrintable)
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            return QChar::surrogateToUcs4(c, text[i + 1].unicode());
        return c;
    }
    return std::nullopt;
}

QString unprintableReason(QStringView what, QStringView text, char32_t c)
{
    return QStringLiteral("%1 %2 holds character code %3 (U+%4), which is not printable ASCII")
        .arg(what, quoted(text), QString::number(c),
             QString::number(c, 16).toUpper().rightJustified(4, u'0'));
}

// Whether a number has a non-zero digit after `places` decimals.
bool hasDigitsBeyond(const PlainDecimal &number, int places)
{
    for (qsizetype k = places; k < number.fraction.size(); ++k)
        if (number.fraction[k] != u'0')
            return true;
    return false;
}

class SetChecker {
public:
    SetChecker(int index, const ConfigSet &set)
        : m_index(index)
        , m_set(set)
    {
    }

    std::optional<SaveProblem> run()
    {
        checkSsid();
        // Every list's entry within its list, in the order of the fields.
        for (const SetField &field : SetFields)
            if (field.list)
                checkRange(entryOf(field), int(field.list().size()), field.id);
        checkSymbol();
        if (m_set.beacon) {
            checkChosen(m_set.interval, FieldId::Interval, FieldId::Beacon);
            checkChosen(m_set.comment, FieldId::Comment, FieldId::Beacon);
        }
        if (m_set.coordinates)
            checkCoordinates();
        checkPath();
        return m_problem;
    }

private:
    void fail(FieldId field, const QString &reason)
    {
        if (!m_problem)
            m_problem = SaveProblem{m_index, field,
                                    QStringLiteral("Set %1: %2").arg(m_index + 1).arg(reason)};
    }

    void checkSsid()
    {
        const QStringView t = trimBlanks(m_set.ssid);
        bool digitsOnly = true;
        for (QChar c : t)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        // Digits only, so the length bound keeps the conversion exact.
        if (!t.isEmpty() && (!digitsOnly || t.size() > 6 || t.toInt() > MaxSsid))
            fail(FieldId::Ssid,
                 QStringLiteral("SSID %1 is not a number from 0 to 15").arg(quoted(m_set.ssid)));
    }

    void checkRange(const Entry &entry, int count, FieldId field)
    {
        if (entry && (*entry < 0 || *entry >= count))
            fail(field,
                 QStringLiteral("%1 entry %2 is outside the list (0 to %3)")
                     .arg(label(field), QString::number(*entry), QString::number(count - 1)));
    }

    // A list field's entry, the symbol's number too.
    [[nodiscard]] Entry entryOf(const SetField &field) const
    {
        if (const auto *number = std::get_if<int ConfigSet::*>(&field.member))
            return m_set.**number;
        if (const auto *entry = std::get_if<Entry ConfigSet::*>(&field.member))
            return m_set.**entry;
        return std::nullopt;
    }

    void checkChosen(const Entry &entry, FieldId field, FieldId neededBy)
    {
        checkChosen(entry, field, label(neededBy));
    }

    void checkChosen(const Entry &entry, FieldId field, const QString &neededBy)
    {
        if (!entry)
            fail(field, QStringLiteral("%1 has no selection (needed by \"%2\")")
                            .arg(label(field), neededBy));
    }

    static QString label(FieldId field) { return QString::fromLatin1(setField(field).label); }

    void checkSymbol()
    {
        if (m_set.symbol != SymbolOthers)
            return;
        checkChosen(m_set.symbolTable, FieldId::SymbolTable, QStringLiteral("OTHERS"));
        checkChosen(m_set.symbolCode, FieldId::SymbolCode, QStringLiteral("OTHERS"));
        if (m_set.symbolCode && *m_set.symbolCode >= SymbolCodeUsable &&
            *m_set.symbolCode < SymbolCodeCount)
            fail(
                FieldId::SymbolCode,
                QStringLiteral("symbol code %1 (character code %2) cannot be stored for \"OTHERS\"")
                    .arg(*m_set.symbolCode)
                    .arg(*m_set.symbolCode + SymbolCodeFirst));
    }

    void checkCoordinates()
    {
        checkChosen(m_set.latHemisphere, FieldId::LatHemisphere, FieldId::Coordinates);
        checkCoordinate(m_set.latDegrees, m_set.latMinutes, LatitudeMaxDegrees, u"latitude",
                        FieldId::LatDegrees, FieldId::LatMinutes);
        checkChosen(m_set.lonHemisphere, FieldId::LonHemisphere, FieldId::Coordinates);
        checkCoordinate(m_set.lonDegrees, m_set.lonMinutes, LongitudeMaxDegrees, u"longitude",
                        FieldId::LonDegrees, FieldId::LonMinutes);
    }

    void checkCoordinate(const QString &degrees, const QString &minutes, int maxDegrees,
                         QStringView what, FieldId degreesField, FieldId minutesField)
    {
        // The image keeps whole degrees and minutes to 1/100: anything finer
        // would be rounded away without a word (49.7 degrees is 33 km off).
        if (const auto deg = parsePlainDecimal(degrees); deg && hasDigitsBeyond(*deg, 0))
            return fail(
                degreesField,
                QStringLiteral("%1 degrees %2 must be a whole number").arg(what, quoted(degrees)));
        if (const auto min = parsePlainDecimal(minutes); min && hasDigitsBeyond(*min, 2))
            return fail(minutesField, QStringLiteral("%1 minutes %2 can have at most two decimals")
                                          .arg(what, quoted(minutes)));
        const auto v = coordinateValue(degrees, minutes, maxDegrees, what.toString());
        if (!v)
            fail(v.error().field == CoordinateProblem::Field::Degrees ? degreesField : minutesField,
                 v.error().reason);
    }

    void checkPath()
    {
        if (const auto c = unprintable(m_set.path)) {
            fail(FieldId::Path, unprintableReason(u"path", m_set.path, *c));
            return;
        }
        const QStringView typed = trimBlanks(m_set.path);
        const EncodedPath stored = encodePath(typed);
        const QString back = decodePath(stored.relay, stored.field);
        if (back == typed)
            return;
        QString message =
            QStringLiteral("path %1 would be stored as %2").arg(quoted(typed), quoted(back));
        if (const QString hop = unevenHop(typed); !hop.isEmpty())
            message += QStringLiteral("; WIDE and TRACE hops are stored as n-n: %1 cannot be "
                                      "stored; %2")
                           .arg(hop, storablePath());
        else if (const QString call = highSsid(typed); !call.isEmpty())
            message += QStringLiteral("; the device stores a path callsign's SSID 0 to 7 only, so "
                                      "%1 cannot be stored; use the digipeater's alias, or "
                                      "WIDE1-1 or WIDE2-2")
                           .arg(call);
        else if (const QString upper = typed.toString().toUpper(); upper != typed) {
            const EncodedPath capitals = encodePath(upper);
            if (decodePath(capitals.relay, capitals.field) == upper)
                message += QStringLiteral("; the device stores paths in capitals: type %1")
                               .arg(quoted(upper));
        }
        fail(FieldId::Path, message);
    }

    // The first callsign of the path with an SSID from 8 to 15, which the
    // image cannot hold (DB0XYZ-10 is common for German digipeaters).
    static QString highSsid(QStringView path)
    {
        static const QRegularExpression call(QStringLiteral("^[A-Z0-9]{1,6}-(8|9|1[0-5])$"),
                                             QRegularExpression::CaseInsensitiveOption);
        for (const QStringView part : path.split(u','))
            if (call.match(part.trimmed().toString()).hasMatch())
                return part.trimmed().toString();
        return QString();
    }

    // A path the image holds that does the usual job of a set like this one.
    [[nodiscard]] QString storablePath() const
    {
        return m_set.gps ? QStringLiteral("a set that moves (GPS Used) can use WIDE1-1, or "
                                          "WIDE1-1,WIDE2-2 where digipeaters are sparse")
                         : QStringLiteral("a fixed set can use WIDE2-2, or the call of a "
                                          "digipeater it reaches");
    }

    // The first WIDEn-N or TRACEn-N hop whose two numbers differ, which the
    // image cannot hold; empty when there is none.
    static QString unevenHop(QStringView path)
    {
        static const QRegularExpression hop(QStringLiteral("^(?:WIDE|TRACE)([1-7])-([1-7])$"),
                                            QRegularExpression::CaseInsensitiveOption);
        for (const QStringView part : path.split(u',')) {
            const QRegularExpressionMatch m = hop.match(part.trimmed().toString());
            if (m.hasMatch() && m.capturedView(1) != m.capturedView(2))
                return part.trimmed().toString();
        }
        return QString();
    }

    int m_index = 0;
    const ConfigSet &m_set;
    std::optional<SaveProblem> m_problem;
};

} // namespace

Status<SaveProblem> checkSaveable(const Configuration &config)
{
    if (const auto c = unprintable(config.callsign))
        return Status<SaveProblem>::failure(
            {-1, FieldId::Callsign, unprintableReason(u"Callsign", config.callsign, *c)});
    // Cut to six, it may be another amateur's call; trailing blanks are padding.
    qsizetype typed = config.callsign.size();
    while (typed > 0 && config.callsign.at(typed - 1) == u' ')
        --typed;
    if (typed > CallsignLength)
        return Status<SaveProblem>::failure(
            {-1, FieldId::Callsign,
             QStringLiteral("Callsign %1 is longer than the %2 characters the image holds; %3")
                 .arg(quoted(config.callsign))
                 .arg(CallsignLength)
                 .arg(config.callsign.contains(u'/')
                          ? plainCallAdvice(splitCall(config.callsign.left(typed).toUpper()))
                          : QStringLiteral("an SSID goes in the set's SSID field"))});
    for (int i = 0; i < SetCount; ++i)
        if (auto problem = SetChecker(i, config.sets[i]).run())
            return Status<SaveProblem>::failure(*problem);
    return Done{};
}

} // namespace tavlo
