// Saving a map that other writers may have changed: the merge rule, and the guarded save that
// merges, keeps the other version aside, or sets an unreadable file aside.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MapFiles.h"
#include "MapMerge.h"
#include "MapSaveJob.h"
#include "RecoveryCopy.h"
#include "TestSupport.h"

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// One point per letter, the letter as its label; an upper-case letter is the same point as its
// lower-case one with another colour (an edit).
PointList Points(const std::string& letters) {
    PointList list;
    for (const char c : letters) {
        PointRecord rec = FactoryDefaults();
        rec.dX = static_cast<unsigned char>(std::tolower(c));
        rec.crRect = std::isupper(static_cast<unsigned char>(c)) ? RGB(0, 0, 255) : RGB(255, 0, 0);
        list.AddPoint(rec, std::string(1, static_cast<char>(std::tolower(c))), "", "");
    }
    return list;
}

std::string Letters(const PointList& list) {
    std::string s;
    for (int i = 0; i < list.count(); ++i) {
        const bool edited = list.point(i).crRect == RGB(0, 0, 255);
        s += edited ? static_cast<char>(std::toupper(list.label(i)[0])) : list.label(i)[0];
    }
    return s;
}

// A writer that last read or wrote `known` at `path`.
MapSaveRequest Writer(const std::string& path, const std::string& known, const std::string& ours) {
    return {path, Points(ours), Points(known), StampOf(path), false};
}

} // namespace

TEST(MapMerge, Rules) {
    const struct {
        const char* ancestor;
        const char* theirs;
        const char* ours;
        MapMerge::Kind kind;
        const char* merged;
    } cases[] = {
        {"ab", "ab", "abc", MapMerge::Ours, ""},    {"ab", "ab", "a", MapMerge::Ours, ""},
        {"ab", "abc", "ab", MapMerge::Theirs, ""},  {"ab", "a", "ab", MapMerge::Theirs, ""},
        {"ab", "abc", "abc", MapMerge::Theirs, ""}, {"ab", "abc", "abd", MapMerge::Merged, "abcd"},
        {"", "c", "de", MapMerge::Merged, "cde"},   {"ab", "abc", "aB", MapMerge::Conflict, ""},
        {"ab", "a", "abd", MapMerge::Conflict, ""}, {"ab", "b", "a", MapMerge::Conflict, ""},
        {"ab", "Ab", "aB", MapMerge::Conflict, ""},
    };
    for (const auto& c : cases) {
        const MapMerge m = MergeMaps(Points(c.ancestor), Points(c.theirs), Points(c.ours));
        EXPECT_EQ(m.kind, c.kind) << c.ancestor << " / " << c.theirs << " / " << c.ours;
        if (c.kind == MapMerge::Merged) {
            EXPECT_EQ(Letters(m.merged), c.merged);
        }
    }

    // Flash phases are not edits: a list whose phases moved on still counts as unchanged.
    PointList flashed = Points("ab");
    flashed.point(0).bTextPhase = 1;
    flashed.point(1).bRectPhase = 1;
    EXPECT_EQ(MergeMaps(Points("ab"), Points("abc"), flashed).kind, MapMerge::Theirs);
    flashed.point(0).bReserved = 7;
    EXPECT_EQ(MergeMaps(Points("ab"), Points("abc"), flashed).kind, MapMerge::Conflict);
}

TEST(MapSaveJob, AnAmbiguousChangeIsKeptAsideAndNumbered) {
    TempDir dir;
    const std::string path = dir / "plan.map";
    ASSERT_TRUE(SaveMapFile(path, Points("ab")).ok());
    const std::string theirs = EncodeMap(Points("b"));
    MapSaveRequest ours = Writer(path, "ab", "abc");
    WriteBytes(path, theirs); // another program removed a point

    MapSaveOutcome out = SaveMapGuarded(std::move(ours));
    ASSERT_TRUE(out.result.ok());
    EXPECT_EQ(out.keptAside, path + ".conflict");
    EXPECT_FALSE(out.keptUnreadable);
    EXPECT_EQ(ReadBytes(path + ".conflict"), theirs);
    EXPECT_EQ(ReadBytes(path), EncodeMap(Points("abc")));

    // The next clash goes beside the first one; the same bytes rewritten are no change.
    WriteBytes(path, theirs);
    MapSaveOutcome next = SaveMapGuarded({path, Points("abcd"), Points("abc"), out.known, false});
    ASSERT_TRUE(next.result.ok());
    EXPECT_EQ(next.keptAside, path + ".conflict2");
    EXPECT_EQ(ReadBytes(path + ".conflict"), theirs);
    const std::string mine = ReadBytes(path);
    WriteBytes(path, mine);
    MapSaveOutcome same =
        SaveMapGuarded({path, Points("abcde"), Points("abcd"), next.known, false});
    ASSERT_TRUE(same.result.ok());
    EXPECT_TRUE(same.keptAside.empty());
    EXPECT_EQ(ReadBytes(path), EncodeMap(Points("abcde")));

    // An unreadable file that replaced the map goes aside as ".bad".
    WriteBytes(path, std::string("\x05\x00\x01", 3));
    MapSaveOutcome bad = SaveMapGuarded({path, Points("x"), Points("abcde"), same.known, false});
    ASSERT_TRUE(bad.result.ok());
    EXPECT_EQ(bad.keptAside, path + ".bad");
    EXPECT_TRUE(bad.keptUnreadable);
    EXPECT_EQ(ReadBytes(path), EncodeMap(Points("x")));
}

TEST(MapSaveJob, AMapFolderDeletedMeanwhileIsMadeAgainAtTheNextSave) {
    TempDir dir;
    const std::string folder = dir / "MAPS";
    const std::string path = folder + "/plan.map";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    MapSaveOutcome first = SaveMapGuarded(Writer(path, "", "ab"));
    ASSERT_TRUE(first.result.ok());
    std::filesystem::remove_all(folder);

    MapSaveOutcome again = SaveMapGuarded({path, Points("abc"), Points("ab"), first.known, false});
    ASSERT_TRUE(again.result.ok()) << again.result.message;
    EXPECT_EQ(ReadBytes(path), EncodeMap(Points("abc")));
}

TEST(RecoveryCopy, EachCopyTakesAFreeNameAndNoEarlierCopyIsReplaced) {
    TempDir dir;
    ASSERT_EQ(::setenv("XDG_STATE_HOME", dir.path().c_str(), 1), 0);
    const std::string folder = RecoveryFolder();
    EXPECT_EQ(folder, dir / "Harrowmere/Zelvor/recovered");
    std::vector<std::string> copies;
    for (const char* letters : {"a", "ab", "abc"}) {
        std::string copy;
        ASSERT_TRUE(WriteRecoveryCopy("/gone/MAPS/plan.map", Points(letters), copy).ok());
        copies.push_back(copy);
    }
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(copies, (std::vector<std::string>{folder + "/plan.map", folder + "/plan-2.map",
                                                folder + "/plan-3.map"}));
    EXPECT_EQ(ReadBytes(copies[0]), EncodeMap(Points("a")));
    EXPECT_EQ(ReadBytes(copies[2]), EncodeMap(Points("abc")));
}
