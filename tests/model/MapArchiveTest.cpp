#include <cstring>
#include <limits>
#include <type_traits>

#include <gtest/gtest.h>

#include "MapArchive.h"
#include "MapFiles.h"
#include "TestSupport.h"

using testsupport::Hex;
using testsupport::PatternRecord;
using testsupport::RecordBytes;

namespace {

std::string EncodeCount(std::uint64_t n) {
    MapArchiveWriter w;
    w.WriteCount(n);
    return w.take();
}

std::string EncodeText(const std::string& s) {
    MapArchiveWriter w;
    w.WriteText(s);
    return w.take();
}

} // namespace

// The reader keeps a view of its bytes, so a temporary string must not be accepted.
static_assert(!std::is_constructible_v<MapArchiveReader, std::string>);
static_assert(std::is_constructible_v<MapArchiveReader, const std::string&>);

TEST(MapArchive, CountEncodings) {
    const struct {
        std::uint32_t n;
        const char* hex;
    } cases[] = {
        {0, "00 00"},
        {1, "01 00"},
        {65534, "FE FF"},
        {65535, "FF FF FF FF 00 00"},
        {70000, "FF FF 70 11 01 00"},
        {0xFFFFFFFFu, "FF FF FF FF FF FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeCount(c.n), Hex(c.hex)) << c.n;
        const std::string bytes = Hex(c.hex);
        MapArchiveReader r(bytes);
        EXPECT_EQ(r.ReadCount(), c.n) << c.hex;
        EXPECT_EQ(r.remaining(), 0u);
    }
    MapArchiveWriter w;
    EXPECT_THROW(w.WriteCount(std::uint64_t{1} << 32), std::length_error);
    EXPECT_TRUE(w.bytes().empty());
}

// Each length prefix form, and reading back what was written.
TEST(MapArchive, TextEncodings) {
    const struct {
        std::size_t length;
        const char* prefix;
    } cases[] = {
        {0, "00"},
        {254, "FE"},
        {255, "FF FF 00"},
        {65533, "FF FD FF"},
        {65534, "FF FF FF FE FF 00 00"},
        {70000, "FF FF FF 70 11 01 00"},
    };
    for (const auto& c : cases) {
        std::string text(c.length, '\0');
        for (std::size_t i = 0; i < c.length; ++i) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        const std::string bytes = EncodeText(text);
        const std::string prefix = Hex(c.prefix);
        ASSERT_EQ(bytes.size(), prefix.size() + c.length) << c.length;
        EXPECT_EQ(bytes.substr(0, prefix.size()), prefix) << c.length;
        EXPECT_EQ(bytes.substr(prefix.size()), text);
        MapArchiveReader r(bytes);
        EXPECT_EQ(r.ReadText(), text) << c.length;
        EXPECT_EQ(r.remaining(), 0u);
    }
    EXPECT_EQ(EncodeText("abc"), Hex("03 61 62 63"));
    // Longer prefix forms than needed are read too; the writer only writes the short form.
    const std::string longForms = Hex("FF 03 00 61 62 63  FF FF FF 02 00 00 00 78 79");
    MapArchiveReader forms(longForms);
    EXPECT_EQ(forms.ReadText(), "abc");
    EXPECT_EQ(forms.ReadText(), "xy");
    // Bytes are stored as they come, NULs and invalid UTF-8 included.
    const std::string raw("\0\xE9\xFF", 3);
    const std::string rawBytes = EncodeText(raw);
    MapArchiveReader r(rawBytes);
    EXPECT_EQ(r.ReadText(), raw);
}

TEST(MapArchive, WideTextsAreReadAsUtf8) {
    const std::string ab = Hex("FF FE FF 02 61 00 62 00");
    MapArchiveReader r(ab);
    const std::string text = r.ReadText();
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(EncodeText(text), Hex("02 61 62"));

    // é, a euro sign, a pair of surrogates (U+1F600), and an unpaired surrogate.
    const std::string mixed = Hex("FF FE FF 05 E9 00 AC 20 3D D8 00 DE 00 D8");
    MapArchiveReader m(mixed);
    EXPECT_EQ(m.ReadText(), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

// Damaged and hostile prefixes fail with the right error and never allocate what the bytes
// cannot back.
TEST(MapArchive, HostileTextsFail) {
    const struct {
        const char* hex;
        bool formatError;
    } cases[] = {
        {"", false},
        {"05 61 62", false},
        {"FF", false},
        {"FF 10", false},
        {"FF FF FF", false},
        {"FF FF FF FF FF FF FF", false},                // 4 GB announced, nothing there
        {"FF FE FF", false},                            // wide marker, then nothing
        {"FF FE FF 02 61 00 62", false},                // wide text one byte short
        {"FF FE FF FF FF FF FF FF FF 7F", false},       // 2 x 0x7FFFFFFF... units
        {"FF FE FF FF FF FF 00 00 00 80 41 00", false}, // doubled length overflows 32 bits
        {"FF FE FF FF FE FF 02 61 00 62 00", true},     // a second wide marker
        {"FF FE FF FF FE FF FF FE FF 00", true},
    };
    for (const auto& c : cases) {
        const std::string bytes = Hex(c.hex);
        MapArchiveReader r(bytes);
        if (c.formatError) {
            EXPECT_THROW(r.ReadText(), ArchiveFormatError) << c.hex;
        } else {
            EXPECT_THROW(r.ReadText(), ArchiveEndOfFile) << c.hex;
        }
    }
}

TEST(MapArchive, StringArraySections) {
    MapArchiveWriter w;
    w.WriteStringArray({"", "x"});
    EXPECT_EQ(w.bytes(), Hex("02 00 00 01 78"));
    MapArchiveReader r(w.bytes());
    EXPECT_EQ(r.ReadStringArray(), (std::vector<std::string>{"", "x"}));

    // A count that the remaining bytes cannot back fails before any allocation.
    for (const char* hex :
         {"FF FF FF FF FF FF", "FF FF 00 00 01 00 00 00", "03 00 00 00", "02 00 01 61"}) {
        const std::string bytes = Hex(hex);
        MapArchiveReader h(bytes);
        EXPECT_THROW(h.ReadStringArray(), ArchiveEndOfFile) << hex;
    }
}

TEST(MapArchive, RecordArraySections) {
    PointRecord first = PatternRecord(1);
    first.bReserved = 9;
    const PointRecord second = PatternRecord(2);
    MapArchiveWriter w;
    w.WriteRecordArray({first, second});
    EXPECT_EQ(w.bytes(), Hex("02 00") + RecordBytes(first) + RecordBytes(second));
    MapArchiveReader r(w.bytes());
    const std::vector<PointRecord> read = r.ReadRecordArray();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(RecordBytes(read[0]), RecordBytes(first));
    EXPECT_EQ(RecordBytes(read[1]), RecordBytes(second));

    MapArchiveWriter none;
    none.WriteRecordArray({});
    EXPECT_EQ(none.bytes(), Hex("00 00"));

    // A block cut short, or a count far beyond the bytes, fails before allocating.
    const std::string cut = Hex("02 00") + RecordBytes(first) + "abc";
    MapArchiveReader c(cut);
    EXPECT_THROW(c.ReadRecordArray(), ArchiveEndOfFile);
    const std::string huge = Hex("FF FF FF FF FF FF") + RecordBytes(first);
    MapArchiveReader h(huge);
    EXPECT_THROW(h.ReadRecordArray(), ArchiveEndOfFile);
}

// Streaming through a small window, from a source that hands out a few bytes at a time, reads
// exactly what a whole buffer reads: texts shorter and longer than the window, wide texts, and
// a record block much bigger than the window. Streaming into a sink writes the same bytes.
TEST(MapArchive, StreamingMatchesWholeBuffer) {
    PointList list = testsupport::SampleList(5);
    list.SetPoint(1, list.point(1), std::string(63, 'a'), std::string(64, 'b'),
                  std::string(65, 'c'));
    list.SetPoint(3, list.point(3), std::string(70000, 'd'), "", std::string(254, 'e'));
    const std::string bytes = EncodeMap(list);

    for (std::size_t piece : {1, 5, 64, 100000}) {
        testsupport::ChunkedSource source(bytes, piece);
        MapArchiveReader reader(source, 64);
        PointList streamed;
        ASSERT_EQ(ReadMap("s.map", reader, streamed).status, FileResult::Ok) << piece;
        EXPECT_EQ(EncodeMap(streamed), bytes) << piece;
    }

    const std::string wide = Hex("FF FE FF 06 E9 00 AC 20 3D D8 00 DE 41 00 42 00");
    testsupport::ChunkedSource wideSource(wide, 3);
    MapArchiveReader wideReader(wideSource, 16);
    EXPECT_EQ(wideReader.ReadText(), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
                                     "AB");

    testsupport::StringSink sink;
    MapArchiveWriter writer(sink, 64);
    WriteMap(writer, list);
    EXPECT_TRUE(writer.flush());
    EXPECT_EQ(sink.m_bytes, bytes);
    EXPECT_GT(sink.m_writes, 3);
}

// A source that delivers less than it announced (the file shrank after it was opened) makes
// the read fail as a file that ends early, wherever the bytes run out.
TEST(MapArchive, SourceShorterThanAnnouncedFails) {
    const std::string bytes = EncodeMap(testsupport::SampleList(3));
    for (std::size_t keep : {std::size_t{1}, std::size_t{100}, bytes.size() - 1}) {
        testsupport::ChunkedSource source(bytes.substr(0, keep), 7, bytes.size());
        MapArchiveReader reader(source, 32);
        PointList list = testsupport::SampleList(1);
        const FileResult r = ReadMap("short.map", reader, list);
        EXPECT_EQ(r.status, FileResult::Failed) << keep;
        EXPECT_NE(r.message.find("ends early"), std::string::npos) << r.message;
        EXPECT_EQ(list.count(), 0);
    }
}
