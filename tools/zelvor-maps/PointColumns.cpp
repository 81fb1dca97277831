#include "PointColumns.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "DateTimeText.h"
#include "Text8.h"
#include "TextSink.h"

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

template <typename T> std::string_view NumberText(T value, char (&buffer)[32]) {
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

class CsvWriter : public RowWriter {
public:
    explicit CsvWriter(TextSink& out) : m_out(out) {}
    void begin(const std::vector<std::string>& names) override {
        for (const std::string& name : names) {
            field(name);
        }
        endRow();
    }
    void text(const char*, std::string_view utf8) override { field(utf8); }
    void number(const char*, double value) override {
        char buffer[32];
        field(NumberText(value, buffer));
    }
    void integer(const char*, std::int64_t value) override {
        char buffer[32];
        field(NumberText(value, buffer));
    }
    void boolean(const char*, bool value) override { field(value ? "true" : "false"); }
    void missing(const char*) override { field({}); }
    void endRow() override {
        m_out.write("\r\n");
        m_first = true;
    }
    void finish() override {}

private:
    void field(std::string_view value) {
        if (!m_first) {
            m_out.put(',');
        }
        m_first = false;
        if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
            m_out.write(value);
            return;
        }
        m_out.put('"');
        for (std::size_t quote; (quote = value.find('"')) != std::string_view::npos;) {
            m_out.write(value.substr(0, quote + 1));
            m_out.put('"');
            value.remove_prefix(quote + 1);
        }
        m_out.write(value);
        m_out.put('"');
    }

    TextSink& m_out;
    bool m_first = true;
};

class JsonWriter : public RowWriter {
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

class TableWriter : public RowWriter {
public:
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
        QString cell = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
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

std::string_view Utf8Text(const std::string& text8, std::string& scratch) {
    std::string_view text(text8);
    text = text.substr(0, text.find('\0'));
    if (IsAscii(text)) {
        return text;
    }
    scratch = ToText8(FromText8(std::string(text)));
    return scratch;
}

std::string FaceName(const LOGFONTA& lf) {
    const std::string bytes(lf.lfFaceName, strnlen(lf.lfFaceName, sizeof lf.lfFaceName));
    std::string scratch;
    return std::string(Utf8Text(bytes, scratch));
}

std::string ColourText(COLORREF c) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::uint8_t channels[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    std::string text = "#";
    for (const std::uint8_t v : channels) {
        text += kHex[v >> 4];
        text += kHex[v & 15];
    }
    return text;
}

namespace {

void FontFields(FieldSink& sink, const LOGFONTA& lf, const char* face, const char* height,
                const char* weight, const char* italic) {
    sink.text(face, FaceName(lf));
    sink.integer(height, lf.lfHeight);
    sink.integer(weight, lf.lfWeight);
    sink.boolean(italic, lf.lfItalic != 0);
}

void SinceField(FieldSink& sink, const PointRecord& rec) {
    if (rec.bSinceDate != 0) {
        sink.text("since", FormatDateTime(rec.stSince));
    } else {
        sink.missing("since");
    }
}

} // namespace

void ListFields(FieldSink& sink, const PointRow& row) {
    const PointList& list = *row.list;
    const PointRecord& rec = list.points()[static_cast<std::size_t>(row.index)];
    std::string scratch;
    sink.text("map", row.map);
    sink.integer("index", row.index);
    sink.number("x", rec.dX);
    sink.number("y", rec.dY);
    sink.text("label", Utf8Text(list.labels()[static_cast<std::size_t>(row.index)], scratch));
    sink.text("memo", Utf8Text(list.memos()[static_cast<std::size_t>(row.index)], scratch));
    SinceField(sink, rec);
    sink.text("since_text",
              Utf8Text(list.sinceTexts()[static_cast<std::size_t>(row.index)], scratch));
    sink.boolean("flash_text", rec.bFlashText != 0);
    sink.boolean("flash_square", rec.bFlashRect != 0);
    sink.boolean("show_square", rec.bShowRect != 0);
    sink.integer("square_size", rec.nRectSize);
    sink.text("square_colour", ColourText(rec.crRect));
    sink.boolean("show_cross", rec.bShowCross != 0);
    sink.integer("cross_size", rec.nCrossSize);
    sink.text("text_colour", ColourText(rec.crText));
    sink.text("background_colour", ColourText(rec.crBack));
    FontFields(sink, rec.lfText, "font", "font_height", "font_weight", "font_italic");
    sink.text("since_colour", ColourText(rec.crSinceText));
    FontFields(sink, rec.lfSince, "since_font", "since_font_height", "since_font_weight",
               "since_font_italic");
    sink.endRow();
}

void DueFields(FieldSink& sink, const PointRow& row) {
    const PointList& list = *row.list;
    const PointRecord& rec = list.points()[static_cast<std::size_t>(row.index)];
    std::string scratch;
    SinceField(sink, rec);
    sink.text("map", row.map);
    sink.integer("index", row.index);
    sink.text("label", Utf8Text(list.labels()[static_cast<std::size_t>(row.index)], scratch));
    sink.text("since_text",
              Utf8Text(list.sinceTexts()[static_cast<std::size_t>(row.index)], scratch));
    sink.endRow();
}
