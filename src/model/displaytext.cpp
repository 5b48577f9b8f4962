// SPDX-License-Identifier: GPL-3.0-or-later
#include "displaytext.h"

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

} // namespace tavlo
