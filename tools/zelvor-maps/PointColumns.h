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
// show as spaces.
#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// A stored 8-bit text as UTF-8, decoded as the viewer decodes it (UTF-8, else Windows-1252) and
// cut at its first NUL byte. ASCII comes back as a view of `text8`; anything else is converted
// into `scratch`, which the result then refers to.
std::string_view Utf8Text(const std::string& text8, std::string& scratch);
// A font's face name (its bytes up to the first NUL within the 32) decoded the same way.
std::string FaceName(const LOGFONTA& lf);
// "#rrggbb".
std::string ColourText(COLORREF c);

// One row of `list`: the map file, the point's index, position, texts, since date and look.
struct PointRow {
    std::string_view map;
    const PointList* list = nullptr;
    int index = 0;
};
void ListFields(FieldSink& sink, const PointRow& row);
// One row of the due list: since date first, then map, index, label and since text.
void DueFields(FieldSink& sink, const PointRow& row);
