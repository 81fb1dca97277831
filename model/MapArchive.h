// The little-endian encoding shared by map and defaults files: counts, length-prefixed 8-bit
// texts, raw blocks, and on top of them record-array and string-array sections.
// Loading works on a byte buffer that holds the whole file; storing appends to a byte buffer
// that the caller then writes out. No header, no padding, no separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "PointRecord.h"

// A read ran past the end of the data (a count, a length prefix or a text's bytes).
struct ArchiveEndOfFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A count or length too large to be allocated.
struct ArchiveMemoryError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// The file itself could not be read or written.
struct ArchiveFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Bytes that no writer produces (for example two wide-text markers in a row).
struct ArchiveFormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class MapArchiveReader {
public:
    explicit MapArchiveReader(std::string_view data) : m_data(data) {}

    std::uint32_t ReadCount();
    // An 8-bit text, or a wide (UTF-16LE) text converted to UTF-8.
    std::string ReadText();
    // A raw block: copies min(size, remaining()) bytes and returns that number; the rest of
    // `dest` is left as it was. Never throws: a block cut short is not an error by itself.
    std::size_t ReadRaw(void* dest, std::size_t size);

    // Sections. A count whose elements the remaining bytes cannot hold (184 bytes a record, at
    // least one a text) fails with ArchiveEndOfFile before anything is allocated.
    std::vector<PointRecord> ReadRecordArray();
    std::vector<std::string> ReadStringArray();
    // A record array section of which only the first record matters (the defaults file): the
    // count, then the first record; a record cut short keeps zero bytes for what is missing,
    // further records are skipped. Empty when the count is 0 or no record byte follows it.
    // Throws ArchiveEndOfFile only when the count itself is cut short.
    std::optional<PointRecord> ReadFirstRecord();

    std::size_t remaining() const { return m_data.size() - m_pos; }

private:
    void need(std::size_t n, const char* what) const;
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();

    std::string_view m_data;
    std::size_t m_pos = 0;
};

// Counts above 0xFFFFFFFF and texts longer than that cannot be encoded: the writer throws
// std::length_error for them and writes nothing of the item.
class MapArchiveWriter {
public:
    void reserve(std::size_t bytes) { m_out.reserve(bytes); }
    void WriteCount(std::uint64_t n);
    void WriteText(std::string_view s);
    void WriteRaw(const void* data, std::size_t size);
    void WriteRecordArray(const std::vector<PointRecord>& records);
    void WriteStringArray(const std::vector<std::string>& strings);

    const std::string& bytes() const { return m_out; }
    std::string take() { return std::move(m_out); }

private:
    std::string m_out;
};

// UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t units);
