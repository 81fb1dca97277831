#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "MapFiles.h"
#include "TestSupport.h"

using testsupport::FolderEntries;
using testsupport::ReadBytes;
using testsupport::SampleList;
using testsupport::ScopedTmpfs;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace fs = std::filesystem;

namespace {

const std::string kOld = "the previous map, which must survive a failed save";

std::string BigBytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>(i * 31 + 7);
    }
    return s;
}

AtomicWriteOptions NamedTemp() {
    AtomicWriteOptions options;
    options.allowUnnamedTemp = false;
    return options;
}

bool UnnamedTempSupported(const std::string& folder) {
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
#else
    (void)folder;
    return false;
#endif
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

} // namespace

// Both routes replace the file, keep its permission bits and leave nothing else behind.
TEST(AtomicFile, ReplacesTheFileAndLeavesNothingElse) {
    for (bool unnamed : {true, false}) {
        TempDir dir;
        const std::string path = dir / "m.map";
        WriteBytes(path, kOld);
        ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
        AtomicWriteOptions options;
        options.allowUnnamedTemp = unnamed;
        options.chunkSize = 1000;
        std::size_t lastReport = 0;
        options.afterChunk = [&lastReport](std::size_t written) {
            lastReport = written;
        };
        const std::string bytes = BigBytes(10'500);
        const FileResult r = WriteFileAtomically(path, bytes, options);
        EXPECT_EQ(r.status, FileResult::Ok) << r.message;
        EXPECT_EQ(ReadBytes(path), bytes);
        EXPECT_EQ(lastReport, bytes.size());
        EXPECT_EQ(ModeOf(path), 0640u);
        EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"m.map"});

        // A new file, and an empty one.
        EXPECT_TRUE(WriteFileAtomically(dir / "new.map", "", options).ok());
        EXPECT_EQ(ReadBytes(dir / "new.map"), "");
        EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"m.map", "new.map"}));
    }
}

// A map that is a symbolic link stays one; the file at the end of the links is replaced.
TEST(AtomicFile, SymbolicLinksStayLinks) {
    TempDir dir;
    fs::create_directory(dir / "MAPS");
    fs::create_directory(dir / "store");
    WriteBytes(dir / "store/real.map", kOld);
    fs::create_symlink("../store/real.map", dir / "MAPS/a.map");
    fs::create_symlink("a.map", dir / "MAPS/chain.map");
    fs::create_symlink(dir / "store/absent.map", dir / "MAPS/dangling.map");

    ASSERT_TRUE(WriteFileAtomically(dir / "MAPS/a.map", "one").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "MAPS/a.map"));
    EXPECT_EQ(fs::read_symlink(dir / "MAPS/a.map"), "../store/real.map");
    EXPECT_EQ(ReadBytes(dir / "store/real.map"), "one");

    ASSERT_TRUE(WriteFileAtomically(dir / "MAPS/chain.map", "two").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "MAPS/chain.map"));
    EXPECT_TRUE(fs::is_symlink(dir / "MAPS/a.map"));
    EXPECT_EQ(ReadBytes(dir / "store/real.map"), "two");

    ASSERT_TRUE(WriteFileAtomically(dir / "MAPS/dangling.map", "three").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "MAPS/dangling.map"));
    EXPECT_EQ(ReadBytes(dir / "store/absent.map"), "three");
    EXPECT_EQ(FolderEntries(dir / "store"), (std::vector<std::string>{"absent.map", "real.map"}));

    fs::create_symlink("loop2.map", dir / "MAPS/loop1.map");
    fs::create_symlink("loop1.map", dir / "MAPS/loop2.map");
    EXPECT_FALSE(WriteFileAtomically(dir / "MAPS/loop1.map", "x").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "MAPS/loop1.map"));
}

TEST(AtomicFile, ReadOnlyMountKeepsTheOldFile) {
    TempDir dir;
    const std::string mountPoint = dir / "ro";
    fs::create_directory(mountPoint);
    ScopedTmpfs tmpfs(mountPoint, 1 << 20);
    if (!tmpfs.mounted()) {
        GTEST_SKIP() << tmpfs.why();
    }
    const std::string path = mountPoint + "/m.map";
    WriteBytes(path, kOld);
    ASSERT_TRUE(tmpfs.makeReadOnly()) << tmpfs.why();
    for (const AtomicWriteOptions& options : {AtomicWriteOptions{}, NamedTemp()}) {
        const FileResult r = WriteFileAtomically(path, "new", options);
        EXPECT_EQ(r.status, FileResult::Failed);
        EXPECT_NE(r.message.find(path), std::string::npos) << r.message;
        EXPECT_EQ(ReadBytes(path), kOld);
        EXPECT_EQ(FolderEntries(mountPoint), std::vector<std::string>{"m.map"});
    }
}

// A folder the process may not write to. Root ignores permission bits, so the save runs
// without them.
TEST(AtomicFile, ReadOnlyFolderKeepsTheOldFile) {
    TempDir dir;
    const std::string folder = dir / "locked";
    fs::create_directory(folder);
    const std::string path = folder + "/m.map";
    WriteBytes(path, kOld);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);

    auto attempt = [&path]() {
        for (const AtomicWriteOptions& options : {AtomicWriteOptions{}, NamedTemp()}) {
            const FileResult r = WriteFileAtomically(path, "new", options);
            if (r.status != FileResult::Failed || r.message.find(path) == std::string::npos) {
                return false;
            }
        }
        return true;
    };

    const int outcome = testsupport::RunUnprivileged(attempt);
    if (outcome < 0) {
        GTEST_SKIP() << "cannot give up root privileges here";
    }
    EXPECT_EQ(outcome, 1) << "the save did not fail as it should";
    EXPECT_EQ(ReadBytes(path), kOld);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"m.map"});
}

// A map the user made read-only is not replaced, although its folder would allow the rename.
TEST(AtomicFile, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    const std::string path = dir / "m.map";
    WriteBytes(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const int outcome = testsupport::RunUnprivileged([&path] {
        const FileResult r = WriteFileAtomically(path, "new");
        return r.status == FileResult::Failed && r.message.find(path) != std::string::npos;
    });
    if (outcome < 0) {
        GTEST_SKIP() << "cannot give up root privileges here";
    }
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(ReadBytes(path), kOld);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"m.map"});
}

TEST(AtomicFile, FullDiskKeepsTheOldFile) {
    TempDir dir;
    const std::string mountPoint = dir / "small";
    fs::create_directory(mountPoint);
    ScopedTmpfs tmpfs(mountPoint, 64 << 10);
    if (!tmpfs.mounted()) {
        GTEST_SKIP() << tmpfs.why();
    }
    const std::string path = mountPoint + "/m.map";
    WriteBytes(path, kOld);
    const std::string tooBig = BigBytes(256 << 10);
    for (const AtomicWriteOptions& options : {AtomicWriteOptions{}, NamedTemp()}) {
        const FileResult r = WriteFileAtomically(path, tooBig, options);
        EXPECT_EQ(r.status, FileResult::Failed);
        EXPECT_NE(r.message.find("No space left"), std::string::npos) << r.message;
        EXPECT_EQ(ReadBytes(path), kOld);
        EXPECT_EQ(FolderEntries(mountPoint), std::vector<std::string>{"m.map"});
    }
    // The same save through the map API reports the failure too.
    PointList list = SampleList(2000);
    EXPECT_FALSE(SaveMapFile(path, list).ok());
    EXPECT_EQ(ReadBytes(path), kOld);
    // And a save that fits still works on the same file system.
    EXPECT_TRUE(WriteFileAtomically(path, "small").ok());
    EXPECT_EQ(ReadBytes(path), "small");
}

// A process killed while it writes leaves the old file and no temporary file.
TEST(AtomicFile, KilledMidSaveKeepsTheOldFile) {
    TempDir dir;
    if (!UnnamedTempSupported(dir.path())) {
        GTEST_SKIP() << "no unnamed temporary files on this file system";
    }
    const std::string path = dir / "m.map";
    WriteBytes(path, kOld);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        AtomicWriteOptions options;
        options.chunkSize = 1 << 20;
        options.afterChunk = [fd = fds[1]](std::size_t) {
            // Half-way: tell the parent, then wait to be killed.
            const char c = 'w';
            if (::write(fd, &c, 1) == 1) {
                for (;;) {
                    ::pause();
                }
            }
        };
        WriteFileAtomically(path, BigBytes(8 << 20), options);
        ::_exit(1);
    }
    ::close(fds[1]);
    char c = 0;
    ASSERT_EQ(::read(fds[0], &c, 1), 1);
    ::close(fds[0]);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadBytes(path), kOld);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"m.map"});
}

// The temporary file's name does not grow with the target's: names up to the longest the file
// system allows save on both routes.
TEST(AtomicFile, LongestNamesSave) {
    TempDir dir;
    for (bool unnamed : {true, false}) {
        for (std::size_t length : {238, 255}) {
            const std::string path = dir / (std::string(length - 4, 'n') + ".map");
            AtomicWriteOptions options;
            options.allowUnnamedTemp = unnamed;
            const FileResult r = WriteFileAtomically(path, kOld, options);
            EXPECT_EQ(r.status, FileResult::Ok) << length << ": " << r.message;
            EXPECT_EQ(ReadBytes(path), kOld) << length;
            fs::remove(path);
        }
    }
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

// A save killed on the named route leaves its temporary file; the next save in that folder
// removes it once it is older than any running save, and leaves other files alone.
TEST(AtomicFile, NextSaveRemovesLeftovers) {
    TempDir dir;
    const std::string path = dir / "m.map";
    WriteBytes(path, kOld);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicWriteOptions options = NamedTemp();
        options.chunkSize = 10;
        options.afterChunk = [](std::size_t) { ::raise(SIGKILL); };
        WriteFileAtomically(path, BigBytes(100), options);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::vector<std::string> entries = FolderEntries(dir.path());
    ASSERT_EQ(entries.size(), 2u);
    const std::string leftover = dir / (entries[0] == "m.map" ? entries[1] : entries[0]);
    WriteBytes(dir / "notes.tmp", "a file of the user's");

    // While it may still belong to a running save it stays.
    EXPECT_TRUE(WriteFileAtomically(dir / "other.map", "x").ok());
    EXPECT_TRUE(fs::exists(leftover));

    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(leftover, longAgo);
    fs::last_write_time(dir / "notes.tmp", longAgo);
    EXPECT_TRUE(WriteFileAtomically(path, "new").ok());
    EXPECT_EQ(FolderEntries(dir.path()),
              (std::vector<std::string>{"m.map", "notes.tmp", "other.map"}));
    EXPECT_EQ(ReadBytes(path), "new");
}

// A save abandoned by an exception part-way removes its named temporary file.
TEST(AtomicFile, AbandonedSaveRemovesItsTemporaryFile) {
    TempDir dir;
    const std::string path = dir / "m.map";
    WriteBytes(path, kOld);
    for (bool unnamed : {true, false}) {
        AtomicWriteOptions options;
        options.allowUnnamedTemp = unnamed;
        options.chunkSize = 100;
        options.afterChunk = [](std::size_t written) {
            if (written >= 300) {
                throw std::runtime_error("stop");
            }
        };
        EXPECT_THROW(WriteFileAtomically(path, BigBytes(1000), options), std::runtime_error);
        EXPECT_EQ(ReadBytes(path), kOld);
        EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"m.map"});
    }
}

TEST(AtomicFile, ReadWholeFile) {
    TempDir dir;
    std::string out = "stale";
    EXPECT_EQ(ReadWholeFile(dir / "none", out).status, FileResult::Absent);
    EXPECT_TRUE(out.empty());

    const std::string bytes = BigBytes(300'000);
    WriteBytes(dir / "f", bytes);
    EXPECT_EQ(ReadWholeFile(dir / "f", out).status, FileResult::Ok);
    EXPECT_EQ(out, bytes);

    WriteBytes(dir / "empty", "");
    EXPECT_EQ(ReadWholeFile(dir / "empty", out).status, FileResult::Ok);
    EXPECT_TRUE(out.empty());

    const FileResult r = ReadWholeFile(dir.path(), out);
    EXPECT_EQ(r.status, FileResult::Failed);
    EXPECT_NE(r.message.find(dir.path()), std::string::npos);
    EXPECT_TRUE(out.empty());

    // Files that report no size, like those under /proc, are read to their end.
    if (fs::exists("/proc/self/status")) {
        EXPECT_EQ(ReadWholeFile("/proc/self/status", out).status, FileResult::Ok);
        EXPECT_NE(out.find("Name:"), std::string::npos);
    }
}
