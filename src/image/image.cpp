// SPDX-License-Identifier: GPL-3.0-or-later
#include "image.h"

#include "displaytext.h"

#include "coordinate.h"
#include "pathcodec.h"
#include "setlayout.h"
#include "textnumber.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace tavlo {

namespace {

// A coordinate that is switched off is stored as three blanks: the blank
// mark above the value, and 0x2020 in it.
constexpr int NoCoordinate = 0x2020;
constexpr char HexDigits[] = "0123456789ABCDEF";

int entryOrZero(const Entry &entry)
{
    return entry.value_or(0);
}

int storedCoordinate(bool cords, QStringView degrees, QStringView minutes, int maxDegrees)
{
    if (!cords)
        return NoCoordinate;
    const auto value = coordinateValue(degrees, minutes, maxDegrees, QString());
    return value ? int(*value) : 0; // refused by the save checks before
}

SetNumbers numbersOf(const ConfigSet &set)
{
    SetNumbers n;
    const EncodedPath path = encodePath(set.path);
    n.relay = path.relay;
    n.path = path.field;
    n.ssid = set.ssid.isEmpty() ? 0 : int(std::lround(leadingNumber(set.ssid)));
    n.others = set.symbol == SymbolOthers;
    n.symbolChar = n.others ? SymbolCodeFirst + entryOrZero(set.symbolCode) : HexDigits[set.symbol];
    n.latBlank = !set.coordinates;
    n.latitude =
        storedCoordinate(set.coordinates, set.latDegrees, set.latMinutes, LatitudeMaxDegrees);
    n.lonBlank = !set.coordinates;
    n.longitude =
        storedCoordinate(set.coordinates, set.lonDegrees, set.lonMinutes, LongitudeMaxDegrees);
    return n;
}

// The coordinate texts for V: degrees are the first `degreeDigits` digits of
// V written with at least 4 + degreeDigits digits, minutes the next two, a
// ".", and whatever digits are left.
void coordinateTexts(qint64 v, int degreeDigits, QString &degrees, QString &minutes)
{
    const QString t = QString::number(v).rightJustified(degreeDigits + 4, u'0');
    degrees = t.left(degreeDigits);
    minutes = t.mid(degreeDigits, 2) + u'.' + t.mid(degreeDigits + 2);
}

// The named symbol of a stored character: its value as a hexadecimal digit, 0 for anything else.
int hexDigitValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

// The fields made from the numbers of a block; `set` holds those the block
// stores as they stand.
ConfigSet setFrom(const SetNumbers &n, ConfigSet set)
{
    set.ssid = n.ssid == 0 ? QStringLiteral(" ") : u' ' + QString::number(n.ssid);
    if (n.symbolChar >= SymbolCodeFirst)
        set.symbolCode = n.symbolChar - SymbolCodeFirst;
    set.symbol = n.others ? SymbolOthers : hexDigitValue(n.symbolChar);
    coordinateTexts(n.latitude, 2, set.latDegrees, set.latMinutes);
    coordinateTexts(n.longitude, 3, set.lonDegrees, set.lonMinutes);
    set.path = decodePath(n.relay, n.path);
    return set;
}

} // namespace

ImageBit imageBit(qint64 offset, int bit)
{
    if (offset < CallsignLength)
        return {-1, fieldMask({FieldId::Callsign}), QStringLiteral("callsign")};
    if (offset < ImageReadSize) {
        const int set = int(offset - CallsignLength) / SetBlockSize;
        const BitField &f = setBitField(int(offset - CallsignLength) % SetBlockSize, bit);
        return {set, f.fields, QStringLiteral("set %1 %2").arg(set + 1).arg(QLatin1String(f.name)),
                f.byte == SetPathOffset};
    }
    return {-1, 0,
            offset == ImageSize - 1 ? QStringLiteral("end byte") : QStringLiteral("after the end")};
}

QByteArray withUnusedBitsOf(QByteArray image, QByteArrayView from)
{
    const qsizetype end = std::min<qsizetype>({image.size(), from.size(), ImageSize});
    for (qsizetype offset = CallsignLength; offset < end; ++offset) {
        int mask = 0xFF; // the end byte is unused whole
        if (offset < ImageReadSize) {
            mask = 0;
            const int inBlock = int(offset - CallsignLength) % SetBlockSize;
            for (int bit = 0; bit < 8; ++bit)
                if (const BitField &f = setBitField(inBlock, bit);
                    f.fields == 0 && std::holds_alternative<std::monostate>(f.from))
                    mask |= 1 << bit;
        }
        image[offset] = char((image.at(offset) & ~mask) | (from.at(offset) & mask));
    }
    return image;
}

QByteArray encodeImage(const Configuration &config)
{
    QByteArray out;
    out.reserve(ImageSize);
    const QString call = (config.callsign + QString(CallsignLength, u' ')).left(CallsignLength);
    for (QChar c : call)
        out.append(char(c.unicode() & 0xFF));
    for (const ConfigSet &set : config.sets)
        out.append(packSet(set, numbersOf(set)));
    out.append('\0');
    return out;
}

namespace {

bool allErased(QByteArrayView bytes)
{
    return !bytes.isEmpty() &&
           std::all_of(bytes.begin(), bytes.end(), [](char c) { return quint8(c) == 0xFF; });
}

} // namespace

bool ErasedParts::all() const
{
    return callsign && std::all_of(sets.begin(), sets.end(), [](bool erased) { return erased; });
}

bool ErasedParts::any() const
{
    return callsign || std::any_of(sets.begin(), sets.end(), [](bool erased) { return erased; });
}

QList<int> ErasedParts::setList() const
{
    QList<int> list;
    for (int i = 0; i < SetCount; ++i)
        if (sets.at(i))
            list << i;
    return list;
}

QString ErasedParts::named() const
{
    QStringList parts;
    if (callsign)
        parts << QStringLiteral("The callsign");
    if (const QList<int> erasedSets = setList(); !erasedSets.isEmpty())
        parts << setsNamed(erasedSets);
    return parts.join(QStringLiteral(" and "));
}

bool ErasedParts::one() const
{
    return setList().size() == (callsign ? 0 : 1);
}

ErasedParts erasedParts(QByteArrayView image)
{
    ErasedParts erased;
    if (image.size() < ImageReadSize)
        return erased;
    erased.callsign = allErased(image.first(CallsignLength));
    for (int i = 0; i < SetCount; ++i)
        erased.sets.at(i) =
            allErased(image.sliced(CallsignLength + i * SetBlockSize, SetBlockSize));
    return erased;
}

Configuration withoutErased(Configuration config, const ErasedParts &erased)
{
    if (erased.callsign)
        config.callsign.clear();
    for (const int set : erased.setList())
        config.sets.at(set) = ConfigSet{};
    return config;
}

Result<Configuration> decodeImage(QByteArrayView image)
{
    if (image.size() < ImageReadSize)
        return Result<Configuration>::failure(
            QStringLiteral("%1, too short for a configuration image (it needs at least %2)")
                .arg(countOf(image.size(), "byte", "bytes"),
                     countOf(ImageReadSize, "byte", "bytes")));
    const auto *bytes = reinterpret_cast<const unsigned char *>(image.data());
    Configuration config;
    for (int i = 0; i < CallsignLength; ++i)
        config.callsign += QChar(bytes[i]);
    for (int s = 0; s < SetCount; ++s) {
        ConfigSet stored;
        const SetNumbers numbers = unpackSet(bytes + CallsignLength + s * SetBlockSize, stored);
        config.sets[s] = setFrom(numbers, stored);
    }
    return config;
}

} // namespace tavlo
