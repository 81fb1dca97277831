#include "CsvReader.h"

bool CsvReader::next(QStringList& fields, int& line, QString& error) {
    fields.clear();
    error.clear();
    if (m_pos >= m_text.size()) {
        return false;
    }
    line = m_line;
    QString field;
    bool quoted = false; // inside a quoted field
    bool closed = false; // a quoted field's closing quote has been read
    while (true) {
        if (m_pos >= m_text.size()) {
            if (quoted) {
                error = QStringLiteral("a quoted field is not closed");
                return false;
            }
            fields << field;
            return true;
        }
        const QChar c = m_text[m_pos++];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('"')) {
                    field += c;
                    ++m_pos;
                } else {
                    quoted = false;
                    closed = true;
                }
            } else {
                // A line break inside quotes counts once, whether LF, CRLF or a lone CR.
                if (c == QLatin1Char('\n') ||
                    (c == QLatin1Char('\r') &&
                     (m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char('\n')))) {
                    ++m_line;
                }
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
            closed = false;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && m_pos < m_text.size() &&
                m_text[m_pos] == QLatin1Char('\n')) {
                ++m_pos;
            }
            ++m_line;
            fields << field;
            return true;
        } else if (closed) {
            error = QStringLiteral("text after a closing quote");
            return false;
        } else if (c == QLatin1Char('"')) {
            if (!field.isEmpty()) {
                error = QStringLiteral("a quote inside an unquoted field");
                return false;
            }
            quoted = true;
        } else {
            field += c;
        }
    }
}
