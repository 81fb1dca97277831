// The little-endian encoding shared by map and defaults files: counts, length-prefixed 8-bit
// texts, raw blocks, and on top of them record-array and string-array sections.
// No header, no padding, no separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ByteStreams.h"
#include "PointRecord.h"

// A read ran past the end of the data (a count, a length prefix or a text's bytes).
struct ArchiveEndOfFile : std::runtime_error {
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

// Reads an archive from a whole buffer in memory, or streams it from a ByteSource through a
// small window (big raw blocks go straight from the source into their destination). Every
// check against the remaining bytes uses the source's announced size; a source that delivers
// less than it announced makes the read fail with ArchiveEndOfFile.
class MapArchiveReader {
public:
    // The reader keeps a view of `data`: the bytes must outlive it. A temporary string would
    // be gone before the first read, so that overload is refused at compile time.
    explicit MapArchiveReader(std::string_view data);
    explicit MapArchiveReader(std::string&& data) = delete;
    explicit MapArchiveReader(ByteSource& source, std::size_t windowSize = std::size_t{1} << 20);

    std::uint32_t ReadCount();
    // An 8-bit text, or a wide (UTF-16LE) text converted to UTF-8.
    std::string ReadText();
    // A raw block: copies min(size, remaining()) bytes and returns that number; the rest of
    // `dest` is left as it was. A block cut short is not an error by itself.
    std::size_t ReadRaw(void* dest, std::size_t size);

    // Sections. A count whose elements the remaining bytes cannot hold (184 bytes a record, at
    // least one a text) fails with ArchiveEndOfFile before anything is allocated.
    std::vector<PointRecord> ReadRecordArray();
    std::vector<std::string> ReadStringArray();
    // The texts of a string-array section whose count `n` the caller has already read (and
    // checked), with the same check against the remaining bytes as ReadStringArray.
    std::vector<std::string> ReadTexts(std::uint32_t n);
    // A record array section of which only the first record matters (the defaults file): the
    // count, then the first record; a record cut short keeps zero bytes for what is missing,
    // further records are not read. Empty when the count is 0 or no record byte follows it.
    // Throws ArchiveEndOfFile only when the count itself is cut short.
    std::optional<PointRecord> ReadFirstRecord();

    std::uint64_t remaining() const { return buffered() + m_unread; }

private:
    std::size_t buffered() const { return static_cast<std::size_t>(m_end - m_cur); }
    // A text's length prefix: a byte below 0xFF, else 16 bits below 0xFFFF, else 32 bits.
    // Nothing when the 16 bits are the wide-text marker (0xFFFE) instead.
    std::optional<std::uint32_t> readTextLength();
    // Makes at least `n` bytes (n <= the window) available at m_cur, or throws.
    void need(std::size_t n, const char* what);
    // Copies exactly `n` bytes (n <= remaining()) to `dest`.
    void copyOut(void* dest, std::size_t n);
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();

    const char* m_cur = nullptr;
    const char* m_end = nullptr;
    ByteSource* m_source = nullptr;
    std::uint64_t m_unread = 0; // announced bytes not yet pulled from the source
    std::string m_window;
};

// Writes an archive into a buffer that the caller takes (bytes(), take()), or streams it into
// a ByteSink: texts and counts gather in a buffer that is handed on whenever it is full, big
// raw blocks go to the sink as they stand. Call flush() at the end when streaming.
// Counts above 0xFFFFFFFF and texts longer than that cannot be encoded: the writer throws
// std::length_error for them and writes nothing of the item.
class MapArchiveWriter {
public:
    MapArchiveWriter() = default;
    explicit MapArchiveWriter(ByteSink& sink, std::size_t bufferSize = std::size_t{1} << 20);

    void reserve(std::size_t bytes) { m_out.reserve(bytes); }
    void WriteCount(std::uint64_t n);
    void WriteText(std::string_view s);
    void WriteRaw(const void* data, std::size_t size);
    void WriteRecordArray(const std::vector<PointRecord>& records);
    void WriteStringArray(const std::vector<std::string>& strings);
    // Hands what is buffered to the sink; false once the sink has failed.
    bool flush();

    const std::string& bytes() const { return m_out; }
    std::string take() { return std::move(m_out); }

private:
    void written();

    std::string m_out;
    ByteSink* m_sink = nullptr;
    std::size_t m_bufferSize = 0;
    bool m_sinkOk = true;
};

// UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t units);
