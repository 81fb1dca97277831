// Records from CSV text (RFC 4180): fields separated by commas, records by CRLF, LF or a lone
// CR (old Mac files); a field in double quotes may hold commas, line breaks and doubled quotes.
// Lenient where it costs nothing (a lone LF or CR, a missing final line break); strict where guessing could mangle data (a
// quote inside an unquoted field, text after a closing quote, an unclosed quote).
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

class CsvReader {
public:
    explicit CsvReader(QStringView text) : m_text(text) {}

    // The next record and the line it starts on (1-based). False at the end, or on a malformed
    // record with `error` set (reading stops there).
    bool next(QStringList& fields, int& line, QString& error);

private:
    QStringView m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
};
