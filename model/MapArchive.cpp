#include "MapArchive.h"

#include <algorithm>
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

// UTF-8: the lead bytes of two-, three- and four-byte sequences, then continuation bytes of six
// bits each, the highest bits first.
constexpr std::uint32_t kUtf8Lead2 = 0xC0;
constexpr std::uint32_t kUtf8Lead3 = 0xE0;
constexpr std::uint32_t kUtf8Lead4 = 0xF0;
constexpr std::uint32_t kUtf8Continuation = 0x80;
constexpr int kUtf8Bits = 6;
constexpr std::uint32_t kUtf8BitsMask = (1U << kUtf8Bits) - 1;

char Utf8Continuation(std::uint32_t cp, int shift) {
    return static_cast<char>(kUtf8Continuation | ((cp >> shift) & kUtf8BitsMask));
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(kUtf8Lead2 | (cp >> kUtf8Bits)));
        out.push_back(Utf8Continuation(cp, 0));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(kUtf8Lead3 | (cp >> (2 * kUtf8Bits))));
        out.push_back(Utf8Continuation(cp, kUtf8Bits));
        out.push_back(Utf8Continuation(cp, 0));
    } else {
        out.push_back(static_cast<char>(kUtf8Lead4 | (cp >> (3 * kUtf8Bits))));
        out.push_back(Utf8Continuation(cp, 2 * kUtf8Bits));
        out.push_back(Utf8Continuation(cp, kUtf8Bits));
        out.push_back(Utf8Continuation(cp, 0));
    }
}

// UTF-16: a high surrogate then a low one carry ten bits each of a code point past 0xFFFF.
constexpr std::uint32_t kHighSurrogate = 0xD800;
constexpr std::uint32_t kHighSurrogateLast = 0xDBFF;
constexpr std::uint32_t kLowSurrogate = 0xDC00;
constexpr std::uint32_t kLowSurrogateLast = 0xDFFF;
constexpr int kSurrogateBits = 10;

} // namespace

// ---- reading -------------------------------------------------------------------------------

MapArchiveReader::MapArchiveReader(std::string_view data)
    : m_cur(data.data()), m_end(data.data() + data.size()) {}

MapArchiveReader::MapArchiveReader(ByteSource& source, std::size_t windowSize)
    : m_source(&source), m_unread(source.size()) {
    m_window.resize(std::max<std::size_t>(windowSize, 16));
    m_cur = m_end = m_window.data();
}

void MapArchiveReader::need(std::size_t n, const char* what) {
    if (n > remaining()) {
        throw ArchiveEndOfFile(std::string("the file ends early, inside ") + what);
    }
    if (n <= buffered()) {
        return;
    }
    // Move what is left to the front of the window and fill the rest from the source.
    const std::size_t kept = buffered();
    std::memmove(m_window.data(), m_cur, kept);
    char* fill = m_window.data() + kept;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_window.size() - kept, m_unread));
    std::size_t got = 0;
    while (got < want) {
        const std::size_t r = m_source->read(fill + got, want - got);
        if (r == 0) {
            break;
        }
        got += r;
    }
    m_cur = m_window.data();
    m_end = fill + got;
    if (got < want) {
        m_unread = 0; // the file is shorter than it was when opened
        if (n > buffered()) {
            throw ArchiveEndOfFile(std::string("the file ends early, inside ") + what);
        }
        return;
    }
    m_unread -= got;
}

void MapArchiveReader::copyOut(void* dest, std::size_t n) {
    auto* out = static_cast<char*>(dest);
    const std::size_t fromWindow = std::min(n, buffered());
    if (fromWindow > 0) {
        std::memcpy(out, m_cur, fromWindow);
        m_cur += fromWindow;
    }
    std::size_t done = fromWindow;
    // The rest goes straight from the source to its destination.
    while (done < n) {
        const std::size_t r = m_source->read(out + done, n - done);
        if (r == 0) {
            m_unread = 0;
            throw ArchiveEndOfFile("the file ends early");
        }
        done += r;
        m_unread -= r;
    }
}

std::uint8_t MapArchiveReader::u8() {
    return static_cast<std::uint8_t>(*m_cur++);
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

std::optional<std::uint32_t> MapArchiveReader::readTextLength() {
    need(1, "a text's length");
    const std::uint8_t b = u8();
    if (b < kTextEscape) {
        return b;
    }
    need(2, "a text's length");
    const std::uint16_t w = u16();
    if (w == kWideMarker) {
        return std::nullopt;
    }
    if (w < kTextEscape32) {
        return w;
    }
    need(4, "a text's length");
    return u32();
}

std::string MapArchiveReader::ReadText() {
    std::optional<std::uint32_t> prefix = readTextLength();
    const bool wide = !prefix;
    if (wide) {
        // A wide text: the length follows again, in the same form, counting 16-bit units.
        prefix = readTextLength();
        if (!prefix) {
            throw ArchiveFormatError("a text is marked as wide twice");
        }
    }
    const std::uint32_t length = *prefix;

    // 64-bit arithmetic: twice a 32-bit unit count does not fit 32 bits.
    const std::uint64_t bytes = wide ? std::uint64_t{length} * 2 : std::uint64_t{length};
    if (bytes > remaining()) {
        throw ArchiveEndOfFile("the file ends early, inside a text");
    }
    const auto size = static_cast<std::size_t>(bytes);
    if (size <= buffered() || size <= m_window.size()) {
        need(size, "a text");
        const char* start = m_cur;
        m_cur += size;
        if (wide) {
            return Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(start), length);
        }
        return std::string(start, size);
    }
    // Longer than the window: read it whole, then convert if need be.
    std::string text(size, '\0');
    copyOut(text.data(), size);
    if (wide) {
        return Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), length);
    }
    return text;
}

std::size_t MapArchiveReader::ReadRaw(void* dest, std::size_t size) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, remaining()));
    if (n > 0) {
        copyOut(dest, n);
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
    copyOut(records.data(), static_cast<std::size_t>(bytes));
    return records;
}

std::vector<std::string> MapArchiveReader::ReadStringArray() {
    return ReadTexts(ReadCount());
}

std::vector<std::string> MapArchiveReader::ReadTexts(std::uint32_t n) {
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
    return rec;
}

// ---- writing -------------------------------------------------------------------------------

MapArchiveWriter::MapArchiveWriter(ByteSink& sink, std::size_t bufferSize)
    : m_sink(&sink), m_bufferSize(std::max<std::size_t>(bufferSize, 16)) {
    m_out.reserve(m_bufferSize + 16);
}

bool MapArchiveWriter::flush() {
    if (m_sink != nullptr && !m_out.empty()) {
        m_sinkOk = m_sink->write(m_out) && m_sinkOk;
        m_out.clear();
    }
    return m_sinkOk;
}

void MapArchiveWriter::written() {
    if (m_sink != nullptr && m_out.size() >= m_bufferSize) {
        flush();
    }
}

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
    written();
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
    if (m_sink != nullptr && s.size() >= m_bufferSize) {
        flush();
        m_sinkOk = m_sink->write(s) && m_sinkOk;
        return;
    }
    m_out.append(s);
    written();
}

void MapArchiveWriter::WriteRaw(const void* data, std::size_t size) {
    if (m_sink != nullptr && size >= m_bufferSize) {
        // A big block goes to the sink as it stands, without a copy.
        flush();
        m_sinkOk =
            m_sink->write(std::string_view(static_cast<const char*>(data), size)) && m_sinkOk;
        return;
    }
    m_out.append(static_cast<const char*>(data), size);
    written();
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
        if (u >= kHighSurrogate && u <= kHighSurrogateLast) {
            if (i + 1 < units) {
                const std::uint32_t next = unitAt(i + 1);
                if (next >= kLowSurrogate && next <= kLowSurrogateLast) {
                    appendUtf8(out, 0x10000 + ((u - kHighSurrogate) << kSurrogateBits) +
                                        (next - kLowSurrogate));
                    ++i;
                    continue;
                }
            }
            appendUtf8(out, kReplacement);
        } else if (u >= kLowSurrogate && u <= kLowSurrogateLast) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}
