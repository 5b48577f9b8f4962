// SPDX-License-Identifier: GPL-3.0-or-later
#include "image.h"

#include "displaytext.h"

#include "bits.h"
#include "coordinate.h"
#include "pathcodec.h"
#include "textnumber.h"

#include <cmath>

namespace tavlo {

namespace {

constexpr int RelayBit = 128;
constexpr int BeaconBit = 64;
constexpr int OthersBit = 128;
constexpr int IntervalFactor = 16;
constexpr int GpsBit = 8;
constexpr int TableBit = 128;
constexpr int CordsBit = 128;
constexpr int HemisphereBit = 64;
constexpr int NoValuePart = 32; // stored for each part of a coordinate that is switched off
constexpr char HexDigits[] = "0123456789ABCDEF";

int entryOrZero(const Entry &entry)
{
    return entry.value_or(0);
}

void appendCoordinate(QByteArray &out, int flags, bool cords, QStringView degrees,
                      QStringView minutes, int maxDegrees)
{
    if (!cords) {
        out.append(char(flags + NoValuePart)).append(char(NoValuePart)).append(char(NoValuePart));
        return;
    }
    const auto value = coordinateValue(degrees, minutes, maxDegrees, QString());
    const qint64 v = value ? *value : 0; // refused by the save checks before
    out.append(char(flags + v / 65536)).append(char(v % 65536 / 256)).append(char(v % 256));
}

void appendSet(QByteArray &out, const ConfigSet &set)
{
    const EncodedPath path = encodePath(set.PATH);
    int byte0 = (path.relay ? RelayBit : 0) + (set.BCN ? BeaconBit : 0);
    if (!set.ssid.isEmpty())
        byte0 += static_cast<int>(std::lround(leadingNumber(set.ssid)));
    out.append(char(byte0));

    const bool others = set.VSICO == SymbolOthers;
    out.append(char((others ? OthersBit : 0) + IntervalFactor * entryOrZero(set.TXI) +
                    (set.GPS ? GpsBit : 0) + entryOrZero(set.POSCA)));

    const int symbolChar = others ? SymbolCodeFirst + entryOrZero(set.ICOC) : HexDigits[set.VSICO];
    out.append(char(TableBit * entryOrZero(set.ICOT) + symbolChar));

    appendCoordinate(out, HemisphereBit * entryOrZero(set.LAS) + (set.CORDS ? CordsBit : 0),
                     set.CORDS, set.LAD, set.LAM, LatitudeMaxDegrees);
    appendCoordinate(out, HemisphereBit * entryOrZero(set.LOS), set.CORDS, set.LOD, set.LOM,
                     LongitudeMaxDegrees);
    out.append(path.field);
}

int bits(unsigned char byte, int low, int high)
{
    return static_cast<int>(BitVal(byte, low, high));
}
bool bit(unsigned char byte, int n)
{
    return Bitt(byte, n) != 0;
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

ConfigSet decodeSet(const unsigned char *b)
{
    ConfigSet set;
    const bool relay = bit(b[0], 7);
    set.BCN = bit(b[0], 6);
    const int ssid = bits(b[0], 0, 3);
    set.ssid = ssid == 0 ? QStringLiteral(" ") : u' ' + QString::number(ssid);

    const bool others = bit(b[1], 7);
    set.TXI = bits(b[1], 4, 6);
    set.GPS = bit(b[1], 3);
    set.POSCA = bits(b[1], 0, 2);

    set.ICOT = bits(b[2], 7, 7);
    const int code = bits(b[2], 0, 6);
    if (code >= SymbolCodeFirst)
        set.ICOC = code - SymbolCodeFirst;
    set.VSICO = others ? SymbolOthers : hexDigitValue(code);

    set.LAS = bits(b[3], 6, 6);
    set.CORDS = bit(b[3], 7);
    const qint64 lat = bits(b[3], 0, 4) * 65536 + b[4] * 256 + b[5];
    coordinateTexts(lat, 2, set.LAD, set.LAM);

    set.LOS = bits(b[6], 6, 6);
    const qint64 lon = bits(b[6], 0, 4) * 65536 + b[7] * 256 + b[8];
    coordinateTexts(lon, 3, set.LOD, set.LOM);

    set.PATH = decodePath(relay, QByteArrayView(b + 9, PathFieldLength));
    return set;
}

} // namespace

QByteArray encodeImage(const Configuration &config)
{
    QByteArray out;
    out.reserve(ImageSize);
    const QString call = (config.Calls + QString(CallsignLength, u' ')).left(CallsignLength);
    for (QChar c : call)
        out.append(char(c.unicode() & 0xFF));
    for (const ConfigSet &set : config.sets)
        appendSet(out, set);
    out.append('\0');
    return out;
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
        config.Calls += QChar(bytes[i]);
    for (int s = 0; s < SetCount; ++s)
        config.sets[s] = decodeSet(bytes + CallsignLength + s * SetBlockSize);
    return config;
}

} // namespace tavlo
