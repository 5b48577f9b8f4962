// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv.h"

#include <QString>

namespace tavlo::cli {

namespace {

// Reads one CSV record from `pos`; false at the end of the text.
class CsvReader {
public:
    explicit CsvReader(QString text)
        : m_text(std::move(text))
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
        return m_pos >= m_text.size() || m_text.at(m_pos) == u',' || m_text.at(m_pos) == u'\n' ||
               m_text.at(m_pos) == u'\r';
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
    qsizetype m_pos = 0;
    QString m_error;
};

} // namespace

Result<QList<QStringList>> parseCsv(const QByteArray &text)
{
    QByteArray bytes = text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return CsvReader(QString::fromUtf8(bytes)).records();
}

} // namespace tavlo::cli
