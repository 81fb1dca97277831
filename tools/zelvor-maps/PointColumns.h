// The rows the tool prints, and the three forms it prints them in. One function names and
// orders the fields of a row; a writer turns the fields into CSV, JSON or an aligned table, so
// every form carries the same columns under the same names.
//
// CSV (RFC 4180): UTF-8, a header row of the column names, CRLF line ends; a field holding a
// comma, a quote or a line break is quoted, quotes doubled. Booleans are true/false, a missing
// value an empty field.
// JSON: {"version": 1, "points": [ {...}, ... ]}, one object per row whose keys are the column
// names: numbers as numbers, booleans as true/false, a missing value as null, texts as strings.
// Table: the chosen columns, aligned, for reading on a terminal; control characters in texts
// show as spaces, and a text over 60 characters is cut, ending in an ellipsis.
#pragma once

#include <QJsonObject>
#include <QString>

#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DateTimeText.h"
#include "PointList.h"

class TextSink;

enum class OutputFormat { Table, Csv, Json };

inline constexpr int kJsonSchemaVersion = 1;

// Receives one row's fields in column order, then endRow().
class FieldSink {
public:
    virtual ~FieldSink() = default;
    virtual void text(const char* name, std::string_view utf8) = 0;
    virtual void number(const char* name, double value) = 0;
    virtual void integer(const char* name, std::int64_t value) = 0;
    virtual void boolean(const char* name, bool value) = 0;
    virtual void missing(const char* name) = 0;
    virtual void endRow() = 0;
};

// A writer for `format` on `out`: header or opening first, closing text at finish().
// `tableColumns` picks the table's columns (all when empty).
class RowWriter : public FieldSink {
public:
    static std::unique_ptr<RowWriter> Make(OutputFormat format, TextSink& out,
                                           std::vector<std::string> tableColumns = {});
    // Starts the output with the column names taken from `names` (any one row).
    virtual void begin(const std::vector<std::string>& names) = 0;
    virtual void finish() = 0;
};

// The names of a row's columns, in order, as the row function gives them.
class NameCollector : public FieldSink {
public:
    void text(const char* name, std::string_view) override { names.emplace_back(name); }
    void number(const char* name, double) override { names.emplace_back(name); }
    void integer(const char* name, std::int64_t) override { names.emplace_back(name); }
    void boolean(const char* name, bool) override { names.emplace_back(name); }
    void missing(const char* name) override { names.emplace_back(name); }
    void endRow() override {}
    std::vector<std::string> names;
};

// The text for a number: the shortest that reads back as the same value.
template <typename T> std::string_view NumberText(T value, char (&buffer)[32]) {
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

// A stored 8-bit text as UTF-8, decoded as the viewer decodes it (UTF-8, else Windows-1252) and
// cut at its first NUL byte. ASCII comes back as a view of `text8`; anything else is converted
// into `scratch`, which the result then refers to.
std::string_view Utf8Text(std::string_view text8, std::string& scratch);
// A font's face name (its bytes up to the first NUL within the 32) decoded the same way.
std::string_view FaceName(const LOGFONTA& lf, std::string& scratch);

// "#rrggbb".
struct ColourName {
    explicit ColourName(COLORREF c);
    std::string_view view() const { return {text, 7}; }
    char text[7];
};

// One row of `list`: the map file, the point's index, position, texts, since date and look.
struct PointRow {
    std::string_view map;
    const PointList* list = nullptr;
    int index = 0;
};

// The row functions are templates so that a concrete writer's calls are direct: a listing of
// a million points makes some thirty calls per point.
namespace PointColumnsDetail {
template <typename Sink>
void Font(Sink& sink, const LOGFONTA& lf, const char* face, const char* height, const char* weight,
          const char* italic) {
    std::string scratch;
    sink.text(face, FaceName(lf, scratch));
    sink.integer(height, lf.lfHeight);
    sink.integer(weight, lf.lfWeight);
    sink.boolean(italic, lf.lfItalic != 0);
}

template <typename Sink> void Since(Sink& sink, const PointRecord& rec) {
    if (rec.bSinceDate != 0) {
        sink.text("since", FormatDateTime(rec.stSince));
    } else {
        sink.missing("since");
    }
}
} // namespace PointColumnsDetail

template <typename Sink> void ListFields(Sink& sink, const PointRow& row) {
    using namespace PointColumnsDetail;
    const PointList& list = *row.list;
    const auto i = static_cast<std::size_t>(row.index);
    const PointRecord& rec = list.points()[i];
    std::string scratch;
    sink.text("map", row.map);
    sink.integer("index", row.index);
    sink.number("x", rec.dX);
    sink.number("y", rec.dY);
    sink.text("label", Utf8Text(list.labels()[i], scratch));
    sink.text("memo", Utf8Text(list.memos()[i], scratch));
    Since(sink, rec);
    sink.text("since_text", Utf8Text(list.sinceTexts()[i], scratch));
    sink.boolean("flash_text", rec.bFlashText != 0);
    sink.boolean("flash_square", rec.bFlashRect != 0);
    sink.boolean("show_square", rec.bShowRect != 0);
    sink.integer("square_size", rec.nRectSize);
    sink.text("square_colour", ColourName(rec.crRect).view());
    sink.boolean("show_cross", rec.bShowCross != 0);
    sink.integer("cross_size", rec.nCrossSize);
    sink.text("text_colour", ColourName(rec.crText).view());
    sink.text("background_colour", ColourName(rec.crBack).view());
    Font(sink, rec.lfText, "font", "font_height", "font_weight", "font_italic");
    sink.text("since_colour", ColourName(rec.crSinceText).view());
    Font(sink, rec.lfSince, "since_font", "since_font_height", "since_font_weight",
         "since_font_italic");
    sink.endRow();
}

// One row of the due list: since date first, then map, index, label and since text.
template <typename Sink> void DueFields(Sink& sink, const PointRow& row) {
    const PointList& list = *row.list;
    const auto i = static_cast<std::size_t>(row.index);
    std::string scratch;
    PointColumnsDetail::Since(sink, list.points()[i]);
    sink.text("map", row.map);
    sink.integer("index", row.index);
    sink.text("label", Utf8Text(list.labels()[i], scratch));
    sink.text("since_text", Utf8Text(list.sinceTexts()[i], scratch));
    sink.endRow();
}
