// Saving a map that other writers may have changed: the merge rule, and the guarded save that
// merges, keeps the other version aside, or sets an unreadable file aside.
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(MapSaveJob, OutcomesOtherThanAConflict) {
    // Another writer changed the file (or it vanished) since this writer last saw "ab"; no
    // version is ambiguous, so nothing goes aside. `theirs` null: the file was removed.
    // Upper case marks an edited point; `disk` is what the file holds after the save.
    const struct {
        const char* name;
        const char* theirs;
        bool phasesOnly; // theirs is "ab" with its flash phases moved on
        const char* ours;
        const char* disk;
        bool othersTaken;
    } cases[] = {
        {"their rewrite with moved phases: ours", "ab", true, "abc", "abc", false},
        {"they added, we did not change: theirs stays", "abc", false, "ab", "abc", true},
        {"they removed, we did not change: theirs stays", "b", false, "ab", "b", true},
        {"both made the same change: theirs stays", "abC", false, "abC", "abC", false},
        {"both only added: merged", "abc", false, "abde", "abcde", true},
        {"the file vanished: ours anew", nullptr, false, "aB", "aB", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir / "plan.map";
        ASSERT_TRUE(SaveMapFile(path, Points("ab")).ok());
        MapSaveRequest request = Writer(path, "ab", c.ours);
        if (c.theirs == nullptr) {
            std::remove(path.c_str());
        } else {
            PointList theirs = Points(c.theirs);
            if (c.phasesOnly) {
                theirs.point(0).bTextPhase = 1;
            }
            WriteBytes(path, EncodeMap(theirs));
        }

        const MapSaveOutcome out = SaveMapGuarded(std::move(request));
        ASSERT_TRUE(out.result.ok()) << c.name << ": " << out.result.message;
        PointList disk;
        ASSERT_EQ(LoadMapFile(path, disk).status, FileResult::Ok) << c.name;
        EXPECT_EQ(Letters(disk), c.disk) << c.name;
        EXPECT_EQ(out.othersTaken, c.othersTaken) << c.name;
        EXPECT_TRUE(out.keptAside.empty()) << c.name;
        EXPECT_FALSE(std::filesystem::exists(path + ".conflict")) << c.name;
        // What the writer now knows is what the file holds: a save straight after changes
        // nothing and finds no other writer.
        EXPECT_EQ(Letters(out.ancestor), c.disk) << c.name;
        const MapSaveOutcome again =
            SaveMapGuarded({path, out.ancestor, out.ancestor, out.known, false});
        ASSERT_TRUE(again.result.ok()) << c.name;
        EXPECT_FALSE(again.othersTaken) << c.name;
        EXPECT_TRUE(again.keptAside.empty()) << c.name;
    }
}

TEST(MapSaveJob, ASaveWaitsForAnotherProcessHoldingTheFolderLock) {
    // Another running copy holds the map folder's lock while it saves its version (a point
    // added). Our save, started meanwhile, must wait for it and then merge both additions; a
    // save that went ahead would be overwritten by theirs and lose our point.
    TempDir dir;
    const std::string path = dir / "plan.map";
    ASSERT_TRUE(SaveMapFile(path, Points("ab")).ok());
    MapSaveRequest ours = Writer(path, "ab", "abd");

    int locked[2];
    int release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        const bool held = folder >= 0 && ::flock(folder, LOCK_EX) == 0;
        char c = held ? 'y' : 'n';
        (void)!::write(locked[1], &c, 1);
        (void)!::read(release[0], &c, 1); // until the parent's save is under way
        const bool saved = SaveMapFile(path, Points("abc")).ok();
        ::_exit(held && saved ? 0 : 1);
    }
    char answer = 0;
    ASSERT_EQ(::read(locked[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');

    std::atomic<bool> done{false};
    MapSaveOutcome out;
    std::thread saver([&] {
        out = SaveMapGuarded(std::move(ours));
        done = true;
    });
    // Give the save every chance to go ahead if the lock did not hold it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool wentAhead = done.load();
    const char go = 'g';
    EXPECT_EQ(::write(release[1], &go, 1), 1);
    saver.join();
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const int fd : {locked[0], locked[1], release[0], release[1]}) {
        ::close(fd);
    }

    EXPECT_FALSE(wentAhead);
    ASSERT_TRUE(out.result.ok()) << out.result.message;
    EXPECT_TRUE(out.othersTaken);
    PointList disk;
    ASSERT_EQ(LoadMapFile(path, disk).status, FileResult::Ok);
    EXPECT_EQ(Letters(disk), "abcd");
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
