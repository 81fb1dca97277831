#include "PointColumns.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

#include "CsvWriter.h"
#include "Text8.h"
#include "TextSink.h"

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class JsonWriter final : public RowWriter {
public:
    explicit JsonWriter(TextSink& out) : m_out(out) {}
    void begin(const std::vector<std::string>&) override {
        m_out.write("{\"version\":" + std::to_string(kJsonSchemaVersion) + ",\"points\":[");
    }
    void text(const char* name, std::string_view utf8) override {
        m_row.insert(QLatin1String(name),
                     QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    }
    void number(const char* name, double value) override {
        // JSON has no NaN or infinity; such a stored position shows as null.
        m_row.insert(QLatin1String(name), std::isfinite(value) ? QJsonValue(value) : QJsonValue());
    }
    void integer(const char* name, std::int64_t value) override {
        m_row.insert(QLatin1String(name), QJsonValue(static_cast<qint64>(value)));
    }
    void boolean(const char* name, bool value) override {
        m_row.insert(QLatin1String(name), value);
    }
    void missing(const char* name) override { m_row.insert(QLatin1String(name), QJsonValue()); }
    void endRow() override {
        m_out.write(m_rows++ == 0 ? "\n" : ",\n");
        const QByteArray json = QJsonDocument(m_row).toJson(QJsonDocument::Compact);
        m_out.write(std::string_view(json.constData(), static_cast<std::size_t>(json.size())));
        m_row = QJsonObject();
    }
    void finish() override { m_out.write(m_rows == 0 ? "]}\n" : "\n]}\n"); }

private:
    TextSink& m_out;
    QJsonObject m_row;
    std::int64_t m_rows = 0;
};

class TableWriter final : public RowWriter {
public:
    // Texts longer than this are cut, ending in an ellipsis, so one long text cannot widen
    // every row of the table.
    static constexpr qsizetype kMaxCellChars = 60;

    TableWriter(TextSink& out, std::vector<std::string> columns)
        : m_out(out), m_columns(std::move(columns)) {}
    void begin(const std::vector<std::string>& names) override {
        if (m_columns.empty()) {
            m_columns = names;
        }
        m_row.clear();
        for (const std::string& name : m_columns) {
            m_row << QString::fromStdString(name);
        }
        m_rows.push_back(m_row);
        m_row.clear();
    }
    void text(const char* name, std::string_view utf8) override {
        // Only a start of the text is ever shown: a character takes at most four bytes.
        const std::string_view head = utf8.substr(0, 4 * (kMaxCellChars + 1));
        QString cell = QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size()));
        if (cell.size() > kMaxCellChars) {
            cell.truncate(kMaxCellChars - 1);
            cell += kEllipsis;
        }
        for (QChar& c : cell) {
            if (c.category() == QChar::Other_Control) {
                c = QLatin1Char(' ');
            }
        }
        cellOf(name, cell);
    }
    void number(const char* name, double value) override {
        char buffer[32];
        const std::string_view s = NumberText(value, buffer);
        cellOf(name, QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())));
    }
    void integer(const char* name, std::int64_t value) override {
        cellOf(name, QString::number(value));
    }
    void boolean(const char* name, bool value) override {
        cellOf(name, value ? QStringLiteral("yes") : QStringLiteral("no"));
    }
    void missing(const char* name) override { cellOf(name, QString()); }
    void endRow() override {
        m_rows.push_back(m_row);
        m_row.clear();
    }
    void finish() override {
        std::vector<qsizetype> widths(m_columns.size(), 0);
        for (const QStringList& row : m_rows) {
            for (std::size_t c = 0; c < widths.size(); ++c) {
                widths[c] = std::max(widths[c], row.value(static_cast<qsizetype>(c)).size());
            }
        }
        for (const QStringList& row : m_rows) {
            QString line;
            for (std::size_t c = 0; c < widths.size(); ++c) {
                const QString cell = row.value(static_cast<qsizetype>(c));
                line += c + 1 < widths.size() ? cell.leftJustified(widths[c] + 2) : cell;
            }
            m_out.write(line.trimmed() + QLatin1Char('\n'));
        }
        m_rows.clear();
    }

private:
    // Places the cell in its chosen column (fields arrive in column order).
    void cellOf(const char* name, const QString& cell) {
        const auto it = std::find(m_columns.begin(), m_columns.end(), name);
        if (it == m_columns.end()) {
            return;
        }
        const auto column = static_cast<qsizetype>(it - m_columns.begin());
        while (m_row.size() <= column) {
            m_row << QString();
        }
        m_row[column] = cell;
    }

    TextSink& m_out;
    std::vector<std::string> m_columns;
    std::vector<QStringList> m_rows;
    QStringList m_row;
};

} // namespace

std::unique_ptr<RowWriter> RowWriter::Make(OutputFormat format, TextSink& out,
                                           std::vector<std::string> tableColumns) {
    switch (format) {
    case OutputFormat::Csv:
        return std::make_unique<CsvWriter>(out);
    case OutputFormat::Json:
        return std::make_unique<JsonWriter>(out);
    case OutputFormat::Table:
        break;
    }
    return std::make_unique<TableWriter>(out, std::move(tableColumns));
}

std::string_view Utf8Text(std::string_view text8, std::string& scratch) {
    const std::string_view text = text8.substr(0, text8.find('\0'));
    if (IsAscii(text)) {
        return text;
    }
    scratch = ToText8(FromText8(std::string(text)));
    return scratch;
}

std::string_view FaceName(const LOGFONTA& lf, std::string& scratch) {
    return Utf8Text(std::string_view(lf.lfFaceName, sizeof lf.lfFaceName), scratch);
}

ColourName::ColourName(COLORREF c) {
    static constexpr char kHex[] = "0123456789abcdef";
    constexpr std::uint8_t kLowNibble = 0x0f;
    const std::uint8_t channels[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    text[0] = '#';
    for (int i = 0; i < 3; ++i) {
        text[1 + 2 * i] = kHex[channels[i] >> 4];
        text[2 + 2 * i] = kHex[channels[i] & kLowNibble];
    }
}
