// SPDX-License-Identifier: GPL-3.0-or-later
#include "displaytext.h"

namespace tavlo {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
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

QString printable(QStringView text, qsizetype keep)
{
    const bool cut = keep >= 0 && text.size() > keep;
    const QStringView shown = cut ? text.left(keep * 2 / 3) : text;
    QString out;
    out.reserve(shown.size() + 16);
    for (QChar c : shown) {
        if (isControl(c.unicode()))
            appendEscaped(out, c);
        else
            out += c;
    }
    if (cut)
        out += QStringLiteral("... (%1)").arg(countOf(text.size(), "character", "characters"));
    return out;
}

QString quoted(QStringView text, qsizetype keep)
{
    return u'"' + printable(text, keep) + u'"';
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
