// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv.h"

#include <QString>

#include <array>

namespace tavlo::cli {

namespace {

// Reads one CSV record from `pos`; false at the end of the text.
class CsvReader {
public:
    CsvReader(QString text, QChar separator)
        : m_text(std::move(text))
        , m_separator(separator)
    {
    }

    Result<QList<QStringList>> records()
    {
        using Records = Result<QList<QStringList>>;
        QList<QStringList> out;
        while (m_pos < m_text.size()) {
            QStringList record;
            if (!readRecord(record))
                return Records::failure(m_error);
            // A blank line between records is no device.
            if (!(record.size() == 1 && record.first().isEmpty()))
                out << record;
        }
        return out;
    }

private:
    bool readRecord(QStringList &record)
    {
        for (;;) {
            QString field;
            if (!readField(field))
                return false;
            record << field;
            if (m_pos >= m_text.size())
                return true;
            const QChar end = m_text.at(m_pos++);
            if (end == u'\n')
                return true;
            if (end == u'\r' && m_pos < m_text.size() && m_text.at(m_pos) == u'\n') {
                ++m_pos;
                return true;
            }
        }
    }

    bool atFieldEnd() const
    {
        return m_pos >= m_text.size() || m_text.at(m_pos) == m_separator ||
               m_text.at(m_pos) == u'\n' || m_text.at(m_pos) == u'\r';
    }

    bool readField(QString &field)
    {
        if (m_pos < m_text.size() && m_text.at(m_pos) == u'"')
            return readQuoted(field);
        while (!atFieldEnd())
            field += m_text.at(m_pos++);
        return true;
    }

    bool readQuoted(QString &field)
    {
        const qsizetype opened = m_pos++;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos++);
            if (c != u'"') {
                field += c;
            } else if (m_pos < m_text.size() && m_text.at(m_pos) == u'"') {
                field += u'"';
                ++m_pos;
            } else if (!atFieldEnd()) {
                m_error =
                    QStringLiteral("text after a closing quote at character %1").arg(m_pos + 1);
                return false;
            } else {
                return true;
            }
        }
        m_error = QStringLiteral("a quote opened at character %1 is never closed").arg(opened + 1);
        return false;
    }

    QString m_text;
    QChar m_separator;
    qsizetype m_pos = 0;
    QString m_error;
};

// The separator the header uses most outside quotes: spreadsheets set to a
// locale with a decimal comma export ";", others a tab. A header of one
// column has none, and a comma is as good as any.
QChar separatorOf(const QString &text)
{
    constexpr std::array<char16_t, 3> candidates = {u',', u';', u'\t'};
    std::array<qsizetype, candidates.size()> counts = {};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted)
            for (size_t i = 0; i < candidates.size(); ++i)
                counts.at(i) += c == candidates.at(i) ? 1 : 0;
    }
    size_t best = 0;
    for (size_t i = 1; i < candidates.size(); ++i)
        if (counts.at(i) > counts.at(best))
            best = i;
    return QChar(candidates.at(best));
}

} // namespace

Result<QList<QStringList>> parseCsv(const QByteArray &text)
{
    QByteArray bytes = text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QString decoded = QString::fromUtf8(bytes);
    return CsvReader(decoded, separatorOf(decoded)).records();
}

} // namespace tavlo::cli
