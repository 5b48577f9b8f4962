// SPDX-License-Identifier: GPL-3.0-or-later
#include "textnumber.h"

#include <QString>

namespace tavlo {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double leadingNumber(QStringView text)
{
    // Collect the characters that make up the number, dropping inner blanks,
    // and let the C locale-free Qt conversion read them.
    QString number;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && isBlank(text[i]))
            ++i;
    };
    skipBlanks();
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        number += text[i++];
    bool digits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            number += c;
            digits = true;
        } else if (c == u'.' && !point) {
            number += c;
            point = true;
        } else if (!isBlank(c)) {
            break;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        while (j < n && isBlank(text[j]))
            ++j;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exponent += text[j++];
        bool expDigits = false;
        for (; j < n && (isDigit(text[j]) || isBlank(text[j])); ++j) {
            if (isDigit(text[j])) {
                exponent += text[j];
                expDigits = true;
            }
        }
        if (expDigits)
            number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok); // QString::toDouble always uses "."
    return ok ? value : 0;
}

QStringView trimBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.sliced(first, last - first);
}

std::optional<PlainDecimal> parsePlainDecimal(QStringView text)
{
    const QStringView t = trimBlanks(text);
    const qsizetype point = t.indexOf(u'.');
    const QStringView whole = point < 0 ? t : t.first(point);
    const QStringView fraction = point < 0 ? QStringView() : t.sliced(point + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    for (const QStringView part : {whole, fraction})
        for (QChar c : part)
            if (!isDigit(c))
                return std::nullopt;
    return PlainDecimal{whole, fraction};
}

std::optional<qint64> scaledRounded(const PlainDecimal &number, int places, qint64 limit)
{
    qint64 value = 0;
    auto addDigit = [&](QChar digit) {
        value = value * 10 + (digit.unicode() - u'0');
        return value <= limit; // digits only ever make it larger, so stop early
    };
    for (QChar c : number.whole)
        if (!addDigit(c))
            return std::nullopt;
    for (int k = 0; k < places; ++k)
        if (!addDigit(k < number.fraction.size() ? number.fraction[k] : QChar(u'0')))
            return std::nullopt;
    if (places < number.fraction.size() && number.fraction[places] >= u'5')
        ++value;
    if (value > limit)
        return std::nullopt;
    return value;
}

} // namespace tavlo
