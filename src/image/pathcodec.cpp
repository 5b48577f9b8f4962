// SPDX-License-Identifier: GPL-3.0-or-later
#include "pathcodec.h"

#include "bits.h"
#include "textnumber.h"

namespace tavlo {

namespace {

constexpr int CodeBase = 128;
constexpr int NumberedPathBase = 144;
constexpr int MaxPasses = 10; // a keyword is coded, and commas are cut, at most ten times

struct KeywordRow {
    const char16_t *keyword;
    int code;
    bool takesDigit;
    int extraLength;
    bool digitRequired;
};

// The order matters: "NOGATE" and "IGATE" before "GATE", and "-" after the
// n-N forms of "WIDE" and "TRACE" have taken theirs.
constexpr KeywordRow KeywordRows[] = {
    {u"TRACE", 8, true, 3, false},    {u"WIDE", 0, true, 3, false},
    {u"OK", 32, true, 1, true},       {u"OE", 48, true, 1, true},
    {u"OM", 64, true, 1, true},       {u"ECHO", 96, false, 1, false},
    {u"NOGATE", 97, false, 1, false}, {u"IGATE", 99, false, 1, false},
    {u"GATE", 98, false, 1, false},   {u"-", 80, true, 2, true},
};

constexpr QStringView RelayKeyword = u"RELAY";

bool isCode(QChar c)
{
    return c.unicode() >= CodeBase;
}

QString digitText(int d)
{
    return QString::number(d);
}

} // namespace

void codeKeyword(QString &path, QStringView keyword, int code, int digitDefault, bool takesDigit,
                 int extraLength, bool digitRequired)
{
    int count = 0;
    qsizetype pos = path.indexOf(keyword);
    while (pos >= 0 && count < MaxPasses) {
        qsizetype length = keyword.size();
        int value = digitDefault;
        const qsizetype after = pos + length;
        bool found = false;
        if (takesDigit && after < path.size() && path[after] >= u'0' && path[after] <= u'9') {
            length += extraLength;
            value = path[after].unicode() - u'0';
            found = true;
        }
        if (found || !digitRequired)
            path.replace(pos, std::min(length, path.size() - pos), QChar(CodeBase + code + value));
        ++count;
        pos = path.indexOf(keyword);
    }
}

void cutCommasAtCodes(QString &path)
{
    int count = 0;
    qsizetype pos = path.indexOf(u',');
    while (pos >= 0 && count < MaxPasses) {
        const bool codeAfter = pos + 1 < path.size() && isCode(path[pos + 1]);
        const bool codeBefore = pos > 0 && isCode(path[pos - 1]);
        if (codeAfter || codeBefore)
            path.remove(pos, 1);
        pos = path.indexOf(u',');
        ++count;
    }
}

EncodedPath encodePath(QStringView typed)
{
    EncodedPath result;
    QString text = trimBlanks(typed).toString();
    if (text.startsWith(RelayKeyword)) {
        result.relay = true;
        text.remove(0, RelayKeyword.size());
        if (text.startsWith(u','))
            text.remove(0, 1);
    }

    if (!text.isEmpty() && text[0] >= u'1' && text[0] <= u'9') {
        const int n = static_cast<int>(
            leadingNumber(QStringView(text).first(std::min<qsizetype>(2, text.size()))));
        text = QString(QChar(NumberedPathBase + n));
    }
    for (const KeywordRow &row : KeywordRows)
        codeKeyword(text, QStringView(row.keyword), row.code, 0, row.takesDigit, row.extraLength,
                    row.digitRequired);
    cutCommasAtCodes(text);

    text = trimBlanks(text).toString();
    text = text.leftJustified(PathFieldLength, u' ', true);
    result.field.resize(PathFieldLength);
    for (int i = 0; i < PathFieldLength; ++i)
        result.field[i] = static_cast<char>(text[i].unicode() & 0xFF);
    return result;
}

namespace {

// Appends what a code byte stands for to the path opening shows.
void appendCode(QString &text, unsigned char byte)
{
    const int d = int(bitsOf(byte, 0, 3));
    switch (bitsOf(byte, 4, 3)) {
    case 0:
        if (!text.isEmpty() && !trimBlanks(text).endsWith(u','))
            text += u',';
        text += bitsOf(byte, 3, 1) ? QStringLiteral("TRACE") : QStringLiteral("WIDE");
        if (d > 0)
            text += digitText(d) + u'-' + digitText(d);
        text += u',';
        break;
    case 1:
        text = digitText(int(bitsOf(byte, 0, 4)));
        break;
    case 2:
        text += QStringLiteral("OK") + digitText(d);
        break;
    case 3:
        text += QStringLiteral("OE") + digitText(d);
        break;
    case 4:
        text += QStringLiteral("OM") + digitText(d);
        break;
    case 5:
        text += u'-' + digitText(d) + u',';
        break;
    case 6: {
        static const QString names[] = {QStringLiteral("ECHO,"), QStringLiteral("NOGATE,"),
                                        QStringLiteral("GATE,"), QStringLiteral("IGATE,")};
        if (d < 4)
            text += names[d];
        break;
    }
    default: // group 7 stands for nothing
        break;
    }
}

} // namespace

bool sameInPath(unsigned char a, unsigned char b)
{
    if (a == b)
        return true;
    if (a < CodeBase || b < CodeBase)
        return false;
    // After a letter, so that both append exactly what they stand for.
    QString ta = QStringLiteral("A");
    QString tb = ta;
    appendCode(ta, a);
    appendCode(tb, b);
    return ta == tb;
}

QString decodePath(bool relay, QByteArrayView field)
{
    QString text = relay ? QStringLiteral("RELAY,") : QString();
    for (const char raw : field) {
        const auto byte = static_cast<unsigned char>(raw);
        if (byte >= CodeBase)
            appendCode(text, byte);
        else if (byte != u' ')
            text += QChar(byte);
        else if (text.endsWith(u','))
            text.chop(1);
    }
    if (text.endsWith(u','))
        text.chop(1);
    return text;
}

} // namespace tavlo
