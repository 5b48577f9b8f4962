// SPDX-License-Identifier: GPL-3.0-or-later
#include "displaytext.h"

#include <algorithm>

namespace tavlo {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// A byte of a file name that was not UTF-8, as such names are carried.
constexpr char16_t StrayByteBase = 0xDC00;
bool isStrayByte(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

void appendEscaped(QString &out, QChar c)
{
    switch (c.unicode()) {
    case 0:
        out += QLatin1String("\\0");
        return;
    case '\t':
        out += QLatin1String("\\t");
        return;
    case '\n':
        out += QLatin1String("\\n");
        return;
    case '\r':
        out += QLatin1String("\\r");
        return;
    case 27:
        out += QLatin1String("\\e");
        return;
    default:
        out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
}

} // namespace

namespace {

// Inside quotes a quote or backslash must neither end the text nor look
// like an escape, so both are escaped there.
QString render(QStringView text, qsizetype keep, bool inQuotes)
{
    const bool cut = keep >= 0 && text.size() > keep;
    const QStringView shown = cut ? text.left(keep * 2 / 3) : text;
    QString out;
    out.reserve(shown.size() + 16);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        if (isControl(c.unicode()))
            appendEscaped(out, c);
        else if (isStrayByte(c) && (i == 0 || !shown[i - 1].isHighSurrogate()))
            out +=
                QStringLiteral("\\x%1").arg(c.unicode() - StrayByteBase, 2, 16, QLatin1Char('0'));
        else if (inQuotes && (c == u'"' || c == u'\\'))
            out += u'\\' + QString(c);
        else
            out += c;
    }
    if (cut)
        out += QStringLiteral("... (%1)").arg(countOf(text.size(), "character", "characters"));
    return out;
}

} // namespace

QString printable(QStringView text, qsizetype keep)
{
    return render(text, keep, false);
}

QString quoted(QStringView text, qsizetype keep)
{
    return u'"' + render(text, keep, true) + u'"';
}

namespace {

QString hexByte(unsigned byte)
{
    return QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
}

} // namespace

QString shellQuoted(QStringView text)
{
    const bool plain = std::none_of(
        text.begin(), text.end(), [](QChar c) { return isControl(c.unicode()) || isStrayByte(c); });
    if (plain)
        return u'\'' + text.toString().replace(u'\'', QLatin1String("'\\''")) + u'\'';
    // $'...' carries any byte, and shows it as an escape rather than raw.
    QString out = QStringLiteral("$'");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool stray = isStrayByte(c) && (i == 0 || !text[i - 1].isHighSurrogate());
        if (stray)
            out += hexByte(c.unicode() - StrayByteBase);
        else if (isControl(c.unicode()))
            // U+0080 to U+009F are two bytes in UTF-8, C2 and the code.
            out += (c.unicode() >= 0x80 ? hexByte(0xC2) : QString()) + hexByte(c.unicode());
        else if (c == u'\'' || c == u'\\')
            out += u'\\' + QString(c);
        else
            out += c;
    }
    return out + u'\'';
}

QString entryText(const std::optional<int> &entry, const QStringList &list)
{
    if (!entry)
        return QStringLiteral("(none)");
    if (*entry < 0 || *entry >= list.size())
        return QStringLiteral("(entry %1)").arg(*entry);
    return quoted(list.at(*entry));
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString countOf(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

// "Set 3", "Sets 3 and 5", "Sets 3 to 6", "Sets 2, 4 and 6".
QString setsNamed(const QList<int> &sets)
{
    if (sets.size() == 1)
        return QStringLiteral("Set %1").arg(sets.first() + 1);
    if (sets.last() - sets.first() + 1 == sets.size() && sets.size() > 2)
        return QStringLiteral("Sets %1 to %2").arg(sets.first() + 1).arg(sets.last() + 1);
    QStringList numbers;
    for (int i : sets)
        numbers << QString::number(i + 1);
    const QString last = numbers.takeLast();
    return QStringLiteral("Sets %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

} // namespace tavlo
