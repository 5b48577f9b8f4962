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

namespace {

// Reads a number at the start of a text the way typed numbers are read:
// blanks are skipped before it and between its digits.
class NumberReader {
public:
    explicit NumberReader(QStringView text)
        : m_text(text)
    {
    }

    double read()
    {
        skipBlanks();
        if (at(u'+') || at(u'-'))
            m_number += m_text[m_i++];
        const bool digits = mantissa();
        if (!digits)
            return 0;
        exponent();
        bool ok = false;
        const double value = m_number.toDouble(&ok); // QString::toDouble always uses "."
        return ok ? value : 0;
    }

private:
    bool at(char16_t c) const { return m_i < m_text.size() && m_text[m_i] == c; }
    void skipBlanks()
    {
        while (m_i < m_text.size() && isBlank(m_text[m_i]))
            ++m_i;
    }

    // Digits with at most one point; false when there was no digit.
    bool mantissa()
    {
        bool digits = false;
        bool point = false;
        for (; m_i < m_text.size(); ++m_i) {
            const QChar c = m_text[m_i];
            if (isDigit(c))
                digits = true;
            else if (c == u'.' && !point)
                point = true;
            else if (isBlank(c))
                continue;
            else
                break;
            m_number += c;
        }
        return digits;
    }

    // "e" and a signed whole number, kept only when it has a digit.
    void exponent()
    {
        if (!at(u'e') && !at(u'E'))
            return;
        qsizetype j = m_i + 1;
        QString part = QStringLiteral("e");
        while (j < m_text.size() && isBlank(m_text[j]))
            ++j;
        if (j < m_text.size() && (m_text[j] == u'+' || m_text[j] == u'-'))
            part += m_text[j++];
        bool digits = false;
        for (; j < m_text.size() && (isDigit(m_text[j]) || isBlank(m_text[j])); ++j) {
            if (isDigit(m_text[j])) {
                part += m_text[j];
                digits = true;
            }
        }
        if (digits)
            m_number += part;
    }

    QStringView m_text;
    qsizetype m_i = 0;
    QString m_number;
};

} // namespace

double leadingNumber(QStringView text)
{
    return NumberReader(text).read();
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
