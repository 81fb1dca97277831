#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "MapArchive.h"
#include "MapFiles.h"
#include "TestSupport.h"

using testsupport::Hex;
using testsupport::PatternRecord;
using testsupport::ReadBytes;
using testsupport::RecordBytes;
using testsupport::SampleList;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace fs = std::filesystem;

namespace {

// A base directory with its MAPS folder, as the main frame leaves it.
struct BaseDir {
    TempDir dir;
    BaseDir() { fs::create_directory(dir / "MAPS"); }
    const std::string& path() const { return dir.path(); }
};

bool SameList(const PointList& a, const PointList& b) {
    if (a.count() != b.count()) {
        return false;
    }
    for (int i = 0; i < a.count(); ++i) {
        if (RecordBytes(a.point(i)) != RecordBytes(b.point(i)) || a.label(i) != b.label(i) ||
            a.sinceText(i) != b.sinceText(i) || a.memo(i) != b.memo(i)) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(MapFiles, PathDerivation) {
    const struct {
        const char* fileName;
        const char* path;
    } cases[] = {
        {"plan.png", "/base/MAPS/plan.map"},
        {"plan.old.png", "/base/MAPS/plan.old.map"},
        {"a.jpg", "/base/MAPS/a.map"},
        {"noextension", "/base/MAPS/.map"},
        {".hidden", "/base/MAPS/.map"},
        {"trailing.", "/base/MAPS/trailing.map"},
        {"", "/base/MAPS/.map"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapPathFor("/base", c.fileName), c.path) << c.fileName;
    }
    EXPECT_EQ(MapPathFor("C:\\Users\\x", "a.png"), "C:\\Users\\x/MAPS/a.map");
    EXPECT_EQ(DefaultsPathFor("/base"), "/base/Defaults.map");
}

// The byte images of an empty map, a one-point map and the defaults file.
TEST(MapFiles, SavedByteImages) {
    BaseDir base;
    PointList list;
    ASSERT_TRUE(SerializeMap(false, base.path(), "empty.png", list).ok());
    EXPECT_EQ(ReadBytes(base.path() + "/MAPS/empty.map"), std::string(8, '\0'));

    const PointRecord rec = FactoryDefaults();
    list.AddPoint(rec, "abc", "", "");
    ASSERT_TRUE(SerializeMap(false, base.path(), "one.tif", list).ok());
    const std::string expected = Hex("01 00") + RecordBytes(rec) + Hex("01 00 00") +
                                 Hex("01 00 03 61 62 63") + Hex("01 00 00");
    EXPECT_EQ(expected.size(), 198u);
    EXPECT_EQ(ReadBytes(base.path() + "/MAPS/one.map"), expected);

    PointRecord defaults = PatternRecord(8);
    ASSERT_TRUE(SerializeDefaults(false, base.path(), defaults).ok());
    const std::string saved = ReadBytes(base.path() + "/Defaults.map");
    EXPECT_EQ(saved.size(), 186u);
    EXPECT_EQ(saved, Hex("01 00") + RecordBytes(defaults));
}

// Save then load gives back every byte: positions unrounded, reserved byte, phases, texts
// with any bytes in them.
TEST(MapFiles, RoundTripsAreBitExact) {
    BaseDir base;
    PointList list = SampleList(4);
    list.point(0).dX = 0.5;
    list.point(0).dY = 1e-300;
    list.point(1).bReserved = 0xA5;
    list.point(2).bTextPhase = 1;
    list.point(2).bRectPhase = 0;
    list.point(3).bShowRect = 2;
    list.SetPoint(1, list.point(1), std::string("\xE9t\xE9\0x", 5), std::string(300, 'q'),
                  std::string(70000, 'm'));
    ASSERT_TRUE(SerializeMap(false, base.path(), "pic.png", list).ok());

    PointList loaded = SampleList(9); // a load replaces, never appends
    const FileResult r = SerializeMap(true, base.path(), "pic.jpg", loaded);
    EXPECT_EQ(r.status, FileResult::Ok);
    EXPECT_TRUE(SameList(loaded, list));
    EXPECT_EQ(loaded.point(0).dX, 0.5);
    EXPECT_EQ(loaded.point(1).bReserved, 0xA5);
    EXPECT_EQ(loaded.point(3).bShowRect, 2);

    // Loading and saving again writes the same bytes.
    const std::string first = ReadBytes(base.path() + "/MAPS/pic.map");
    ASSERT_TRUE(SerializeMap(false, base.path(), "pic.gif", loaded).ok());
    EXPECT_EQ(ReadBytes(base.path() + "/MAPS/pic.map"), first);

    PointRecord defaults = PatternRecord(1);
    defaults.bReserved = 0x77;
    ASSERT_TRUE(SerializeDefaults(false, base.path(), defaults).ok());
    PointRecord back{};
    EXPECT_EQ(SerializeDefaults(true, base.path(), back).status, FileResult::Ok);
    EXPECT_EQ(RecordBytes(back), RecordBytes(defaults));
}

TEST(MapFiles, MissingOrEmptyMapsAreAbsent) {
    BaseDir base;
    PointList list = SampleList(2);
    FileResult r = SerializeMap(true, base.path(), "none.png", list);
    EXPECT_EQ(r.status, FileResult::Absent);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(list.count(), 0);

    WriteBytes(base.path() + "/MAPS/zero.map", "");
    list = SampleList(2);
    r = SerializeMap(true, base.path(), "zero.png", list);
    EXPECT_EQ(r.status, FileResult::Absent);
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.labels().empty() && list.memos().empty() && list.sinceTexts().empty());

    // A file named MAPS in place of the folder: no map can exist under it.
    BaseDir blocked;
    std::filesystem::remove_all(blocked.path() + "/MAPS");
    WriteBytes(blocked.path() + "/MAPS", "a file in the way");
    list = SampleList(1);
    EXPECT_EQ(SerializeMap(true, blocked.path(), "plan.png", list).status, FileResult::Absent);
    EXPECT_EQ(list.count(), 0);
}

// Every proper prefix of a valid map fails to load: the list is left empty with four equal
// counts and the message names the file.
TEST(MapFiles, EveryTruncationFailsCleanly) {
    BaseDir base;
    PointList source = SampleList(3);
    source.SetPoint(1, source.point(1), std::string(300, 'x'), "", "memo");
    const std::string bytes = EncodeMap(source);
    const std::string path = base.path() + "/MAPS/t.map";
    for (std::size_t len = 1; len < bytes.size(); ++len) {
        PointList list = SampleList(1);
        const FileResult r = DecodeMap(path, std::string_view(bytes).substr(0, len), list);
        ASSERT_EQ(r.status, FileResult::Failed) << "length " << len;
        EXPECT_NE(r.message.find(path), std::string::npos) << r.message;
        EXPECT_EQ(list.count(), 0);
        EXPECT_TRUE(list.labels().empty() && list.memos().empty() && list.sinceTexts().empty());
    }
    // The same through a file on disk, cut inside the record block.
    WriteBytes(path, bytes.substr(0, 100));
    PointList cut = SampleList(1);
    EXPECT_EQ(LoadMapFile(path, cut).status, FileResult::Failed);
    EXPECT_EQ(cut.count(), 0);

    WriteBytes(path, bytes + "trailing");
    PointList list;
    EXPECT_EQ(LoadMapFile(path, list).status, FileResult::Ok);
    EXPECT_TRUE(SameList(list, source));
}

// Files no writer produces: hostile counts, overflowing wide lengths, repeated wide markers,
// sections of unequal counts, a folder where the map should be.
TEST(MapFiles, MalformedMapsFail) {
    BaseDir base;
    const std::string rec = RecordBytes(PatternRecord(1));
    const struct {
        const char* what;
        std::string bytes;
        const char* inMessage;
    } cases[] = {
        {"huge record count", Hex("FF FF FF FF FF FF"), "ends early"},
        {"huge memo count", Hex("00 00 FF FF FF FF FF FF"), "different"},
        {"huge label count", Hex("01 00") + rec + Hex("01 00 00 FF FF 00 00 01 00"), "different"},
        {"huge text", Hex("01 00") + rec + Hex("01 00 FF FF FF FF FF FF 7F"), "ends early"},
        {"overflowing wide", Hex("01 00") + rec + Hex("01 00 FF FE FF FF FF FF 00 00 00 80 41 00"),
         "ends early"},
        {"two wide markers", Hex("01 00") + rec + Hex("01 00 FF FE FF FF FE FF 01 41 00"), "wide"},
        {"short record block", Hex("02 00") + rec + Hex("00 00 00 00 00 00"), "ends early"},
        {"more labels", Hex("01 00") + rec + Hex("01 00 00 02 00 00 00 01 00 00"), "different"},
        {"no records", Hex("00 00 01 00 00 01 00 00 01 00 00"), "different"},
    };
    for (const auto& c : cases) {
        const std::string path = base.path() + "/MAPS/bad.map";
        WriteBytes(path, c.bytes);
        PointList list = SampleList(2);
        const FileResult r = LoadMapFile(path, list);
        EXPECT_EQ(r.status, FileResult::Failed) << c.what;
        EXPECT_FALSE(r.ok()) << c.what;
        EXPECT_NE(r.message.find(path), std::string::npos) << c.what << ": " << r.message;
        EXPECT_NE(r.message.find(c.inMessage), std::string::npos) << c.what << ": " << r.message;
        EXPECT_EQ(list.count(), 0) << c.what;
        EXPECT_TRUE(list.labels().empty() && list.memos().empty() && list.sinceTexts().empty());
    }

    fs::create_directory(base.path() + "/MAPS/folder.map");
    PointList list = SampleList(1);
    EXPECT_EQ(SerializeMap(true, base.path(), "folder.png", list).status, FileResult::Failed);
    EXPECT_EQ(list.count(), 0);
}

// A text section whose count differs from the record count is refused at its count, before its
// texts are read: a small file must not cost many times its size, and long, to be refused.
TEST(MapFiles, UnequalSectionIsRefusedBeforeItsTexts) {
    constexpr std::uint32_t kMemos = 1'000'000;
    MapArchiveWriter w;
    w.WriteCount(0);
    w.WriteCount(kMemos);
    std::string bytes = w.take();
    for (std::uint32_t i = 0; i < kMemos; ++i) {
        bytes += "\x01" "a";
    }
    MapArchiveReader reader(bytes);
    PointList list;
    const FileResult r = ReadMap("many.map", reader, list);
    EXPECT_EQ(r.status, FileResult::Failed);
    EXPECT_NE(r.message.find("0 records, 1000000 memos"), std::string::npos) << r.message;
    EXPECT_EQ(reader.remaining(), 2u * kMemos);
}

// A map that exists but cannot be read is a failure, not an absent map: a later save must not
// replace it unasked.
TEST(MapFiles, UnreadableMapIsAFailure) {
    BaseDir base;
    const std::string path = base.path() + "/MAPS/locked.map";
    WriteBytes(path, EncodeMap(SampleList(1)));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    ASSERT_EQ(::chmod(base.path().c_str(), 0755), 0);
    const int outcome = testsupport::RunUnprivileged([&path] {
        PointList list = SampleList(2);
        const FileResult r = LoadMapFile(path, list);
        return r.status == FileResult::Failed && r.message.find(path) != std::string::npos &&
               list.count() == 0;
    });
    if (outcome < 0) {
        GTEST_SKIP() << "cannot give up root privileges here";
    }
    EXPECT_EQ(outcome, 1);
}

// Only regular files are read. A FIFO (whose plain open would wait for a writer forever) or a
// device at a map's or the defaults' path is a file that cannot be read, and is left alone by a
// save.
TEST(MapFiles, SpecialFilesAreUnreadable) {
    BaseDir base;
    const std::string fifo = base.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* what;
        std::string target;
    } cases[] = {{"FIFO", fifo}, {"character device", "/dev/zero"}};
    for (const auto& c : cases) {
        const std::string map = base.path() + "/MAPS/special.map";
        const std::string defaults = DefaultsPathFor(base.path());
        fs::remove(map);
        fs::remove(defaults);
        fs::create_symlink(c.target, map);
        fs::create_symlink(c.target, defaults);

        PointList list = SampleList(1);
        const FileResult loaded = SerializeMap(true, base.path(), "special.png", list);
        EXPECT_EQ(loaded.status, FileResult::Failed) << c.what;
        EXPECT_NE(loaded.message.find("not a regular file"), std::string::npos) << loaded.message;
        EXPECT_EQ(list.count(), 0) << c.what;
        PointRecord rec = PatternRecord(3);
        EXPECT_EQ(SerializeDefaults(true, base.path(), rec).status, FileResult::Failed) << c.what;
        EXPECT_EQ(RecordBytes(rec), RecordBytes(FactoryDefaults())) << c.what;

        list = SampleList(1);
        EXPECT_EQ(SerializeMap(false, base.path(), "special.png", list).status,
                  FileResult::Failed)
            << c.what;
    }
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Defaults.map: the first record of the section whatever the count, a short record zero-filled,
// and the factory defaults whenever no record can be had.
TEST(MapFiles, DefaultsEdgeCases) {
    BaseDir base;
    const std::string path = base.path() + "/Defaults.map";
    const PointRecord a = PatternRecord(10);
    const std::string recA = RecordBytes(a);
    const std::string factory = RecordBytes(FactoryDefaults());

    const struct {
        const char* what;
        bool present;
        std::string bytes;
        std::string expected;
        FileResult::Status status;
    } cases[] = {
        {"missing", false, "", factory, FileResult::Absent},
        {"empty file", true, "", factory, FileResult::Absent},
        {"count cut short", true, Hex("01"), factory, FileResult::Absent},
        {"count 0", true, Hex("00 00"), factory, FileResult::Absent},
        {"count 0 with a record", true, Hex("00 00") + recA, factory, FileResult::Absent},
        {"count 1, no record bytes", true, Hex("01 00"), factory, FileResult::Absent},
        {"one record", true, Hex("01 00") + recA, recA, FileResult::Ok},
        {"three records", true, Hex("03 00") + recA + factory + factory, recA, FileResult::Ok},
        {"huge count", true, Hex("FF FF FF FF FF FF") + recA, recA, FileResult::Ok},
        {"short record", true, Hex("01 00") + recA.substr(0, 50),
         recA.substr(0, 50) + std::string(134, '\0'), FileResult::Ok},
    };
    for (const auto& c : cases) {
        fs::remove(path);
        if (c.present) {
            WriteBytes(path, c.bytes);
        }
        PointRecord rec = PatternRecord(99);
        const FileResult r = SerializeDefaults(true, base.path(), rec);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(RecordBytes(rec), c.expected) << c.what;
    }

    // The next save rewrites a three-record file with the one record.
    WriteBytes(path, Hex("03 00") + recA + factory + factory);
    PointRecord rec{};
    ASSERT_TRUE(SerializeDefaults(true, base.path(), rec).ok());
    ASSERT_TRUE(SerializeDefaults(false, base.path(), rec).ok());
    EXPECT_EQ(ReadBytes(path), Hex("01 00") + recA);

    // A folder in the way: factory defaults and a failure the caller can report.
    fs::remove(path);
    fs::create_directory(path);
    rec = PatternRecord(1);
    EXPECT_EQ(SerializeDefaults(true, base.path(), rec).status, FileResult::Failed);
    EXPECT_EQ(RecordBytes(rec), factory);
}

// A save into a base directory without a MAPS folder fails, names the file and creates nothing.
TEST(MapFiles, SaveWithoutMapsFolderFails) {
    TempDir dir;
    PointList list = SampleList(1);
    const FileResult r = SerializeMap(false, dir.path(), "a.png", list);
    EXPECT_EQ(r.status, FileResult::Failed);
    EXPECT_NE(r.message.find(dir.path() + "/MAPS/a.map"), std::string::npos) << r.message;
    EXPECT_TRUE(testsupport::FolderEntries(dir.path()).empty());
}
