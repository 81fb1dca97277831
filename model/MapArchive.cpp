#include "MapArchive.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::uint16_t kCountEscape = 0xFFFF;
constexpr std::uint8_t kTextEscape = 0xFF;
constexpr std::uint16_t kTextEscape32 = 0xFFFF;
constexpr std::uint16_t kWideMarker = 0xFFFE;
constexpr std::uint64_t kText16Limit = 0xFFFE; // lengths from here on take the 32-bit form
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

void appendLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

// ---- reading -------------------------------------------------------------------------------

void MapArchiveReader::need(std::size_t n, const char* what) const {
    if (n > remaining()) {
        throw ArchiveEndOfFile(std::string("the file ends early, inside ") + what);
    }
}

std::uint8_t MapArchiveReader::u8() {
    return static_cast<std::uint8_t>(m_data[m_pos++]);
}

std::uint16_t MapArchiveReader::u16() {
    const std::uint16_t lo = u8();
    const std::uint16_t hi = u8();
    return static_cast<std::uint16_t>(lo | (hi << 8));
}

std::uint32_t MapArchiveReader::u32() {
    const std::uint32_t lo = u16();
    const std::uint32_t hi = u16();
    return lo | (hi << 16);
}

std::uint32_t MapArchiveReader::ReadCount() {
    need(2, "a count");
    const std::uint16_t w = u16();
    if (w != kCountEscape) {
        return w;
    }
    need(4, "a count");
    return u32();
}

std::string MapArchiveReader::ReadText() {
    bool wide = false;
    std::uint32_t length = 0;

    need(1, "a text's length");
    std::uint8_t b = u8();
    if (b < kTextEscape) {
        length = b;
    } else {
        need(2, "a text's length");
        std::uint16_t w = u16();
        if (w == kWideMarker) {
            // A wide text: the length follows again, in the same form, counting 16-bit units.
            wide = true;
            need(1, "a text's length");
            b = u8();
            if (b < kTextEscape) {
                length = b;
            } else {
                need(2, "a text's length");
                w = u16();
                if (w == kWideMarker) {
                    throw ArchiveFormatError("a text is marked as wide twice");
                }
                if (w < kTextEscape32) {
                    length = w;
                } else {
                    need(4, "a text's length");
                    length = u32();
                }
            }
        } else if (w < kTextEscape32) {
            length = w;
        } else {
            need(4, "a text's length");
            length = u32();
        }
    }

    // 64-bit arithmetic: twice a 32-bit unit count does not fit 32 bits.
    const std::uint64_t bytes = wide ? std::uint64_t{length} * 2 : std::uint64_t{length};
    if (bytes > remaining()) {
        throw ArchiveEndOfFile("the file ends early, inside a text");
    }
    const auto* start = reinterpret_cast<const std::uint8_t*>(m_data.data() + m_pos);
    m_pos += static_cast<std::size_t>(bytes);
    if (wide) {
        return Utf16LeToUtf8(start, length);
    }
    return std::string(reinterpret_cast<const char*>(start), length);
}

std::size_t MapArchiveReader::ReadRaw(void* dest, std::size_t size) {
    const std::size_t n = size < remaining() ? size : remaining();
    if (n > 0) {
        std::memcpy(dest, m_data.data() + m_pos, n);
        m_pos += n;
    }
    return n;
}

std::vector<PointRecord> MapArchiveReader::ReadRecordArray() {
    const std::uint32_t n = ReadCount();
    const std::uint64_t bytes = std::uint64_t{n} * kPointRecordSize;
    if (bytes > remaining()) {
        throw ArchiveEndOfFile("the file ends early, inside the block of " + std::to_string(n) +
                               " point records");
    }
    std::vector<PointRecord> records(n);
    ReadRaw(records.data(), static_cast<std::size_t>(bytes));
    return records;
}

std::vector<std::string> MapArchiveReader::ReadStringArray() {
    const std::uint32_t n = ReadCount();
    // Each text takes at least its one-byte length prefix.
    if (n > remaining()) {
        throw ArchiveEndOfFile("the file ends early: " + std::to_string(n) + " texts announced, " +
                               std::to_string(remaining()) + " bytes left");
    }
    std::vector<std::string> strings;
    strings.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        strings.push_back(ReadText());
    }
    return strings;
}

std::optional<PointRecord> MapArchiveReader::ReadFirstRecord() {
    const std::uint32_t n = ReadCount();
    if (n == 0 || remaining() == 0) {
        return std::nullopt;
    }
    PointRecord rec{};
    ReadRaw(&rec, kPointRecordSize);
    // Skip the records after the first, as far as they are present.
    const std::uint64_t rest = std::uint64_t{n - 1} * kPointRecordSize;
    m_pos += static_cast<std::size_t>(rest < remaining() ? rest : remaining());
    return rec;
}

// ---- writing -------------------------------------------------------------------------------

void MapArchiveWriter::WriteCount(std::uint64_t n) {
    if (n > kMax32) {
        throw std::length_error("a count above 4294967295 cannot be stored");
    }
    if (n < kCountEscape) {
        appendLe(m_out, n, 2);
    } else {
        appendLe(m_out, kCountEscape, 2);
        appendLe(m_out, n, 4);
    }
}

void MapArchiveWriter::WriteText(std::string_view s) {
    const std::uint64_t length = s.size();
    if (length > kMax32) {
        throw std::length_error("a text longer than 4294967295 bytes cannot be stored");
    }
    if (length < kTextEscape) {
        m_out.push_back(static_cast<char>(length));
    } else if (length < kText16Limit) {
        m_out.push_back(static_cast<char>(kTextEscape));
        appendLe(m_out, length, 2);
    } else {
        m_out.push_back(static_cast<char>(kTextEscape));
        appendLe(m_out, kTextEscape32, 2);
        appendLe(m_out, length, 4);
    }
    m_out.append(s);
}

void MapArchiveWriter::WriteRaw(const void* data, std::size_t size) {
    m_out.append(static_cast<const char*>(data), size);
}

void MapArchiveWriter::WriteRecordArray(const std::vector<PointRecord>& records) {
    WriteCount(records.size());
    WriteRaw(records.data(), records.size() * kPointRecordSize);
}

void MapArchiveWriter::WriteStringArray(const std::vector<std::string>& strings) {
    WriteCount(strings.size());
    for (const std::string& s : strings) {
        WriteText(s);
    }
}

// ---- text conversion -----------------------------------------------------------------------

std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t units) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    auto unitAt = [data](std::size_t i) -> std::uint32_t {
        return std::uint32_t{data[2 * i]} | (std::uint32_t{data[2 * i + 1]} << 8);
    };
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < units) {
                const std::uint32_t next = unitAt(i + 1);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
                    ++i;
                    continue;
                }
            }
            appendUtf8(out, kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}
