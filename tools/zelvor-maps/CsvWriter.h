// The CSV form of the tool's rows (see PointColumns.h), defined here in full so that a row
// function called with a CsvWriter compiles to direct, inlined calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "PointColumns.h"
#include "TextSink.h"

class CsvWriter final : public RowWriter {
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
    // One pass over the bytes (find_first_of would scan once per special character).
    static bool NeedsQuotes(std::string_view value) {
        for (const char c : value) {
            if (c == ',' || c == '"' || c == '\r' || c == '\n') {
                return true;
            }
        }
        return false;
    }

    void field(std::string_view value) {
        if (!m_first) {
            m_out.put(',');
        }
        m_first = false;
        if (!NeedsQuotes(value)) {
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
