#include "MapSaveJob.h"

#include <cerrno>
#include <chrono>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AsideFile.h"
#include "AtomicFile.h"
#include "MapFiles.h"
#include "MapMerge.h"

namespace {

// The folder a map path names ("./" for a bare name), with its trailing slash.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::function<void(const std::string&)>& LockWaitNotice() {
    static std::function<void(const std::string&)> notice;
    return notice;
}

// After this long behind another writer's lock, the wait is told about.
constexpr auto kLockNoticeAfter = std::chrono::seconds(2);
constexpr auto kLockPoll = std::chrono::milliseconds(50);

// An exclusive advisory lock on the folder that holds the map, held for the whole save, so that
// other running copies check and write one at a time too. Without a folder to lock (it is
// missing or cannot be opened) the save goes ahead unlocked: it fails or succeeds on its own.
// The lock-wait notice (when set) is called once when another writer has held it for a while.
class FolderLock {
public:
    explicit FolderLock(const std::string& path) {
        m_fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) {
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK) {
                return; // no lock to be had: the save goes ahead on its own
            }
            if (std::chrono::steady_clock::now() - start >= kLockNoticeAfter) {
                if (LockWaitNotice()) {
                    LockWaitNotice()(path);
                }
                while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
                }
                return;
            }
            std::this_thread::sleep_for(kLockPoll);
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

// Makes the map's folder again when it has gone (MAPS deleted while the program runs), so the
// save can succeed; only that last folder, never the path above it.
void RemakeFolder(const std::string& path) {
    std::string folder = FolderOf(path);
    folder.pop_back();
    if (!folder.empty() && folder != ".") {
        // Read, write and search for all, less the umask, as any folder a program makes.
        constexpr mode_t kFolderMode = 0777;
        ::mkdir(folder.c_str(), kFolderMode); // fails harmlessly when it exists
    }
}

// Writes `list` and records it as what the file holds.
FileResult Write(const std::string& path, const PointList& list, MapSaveOutcome& out) {
    const std::string bytes = EncodeMap(list);
    FileResult written = WriteFileAtomically(path, bytes);
    if (written.ok()) {
        out.known = StampOf(path, bytes);
        out.knownUnreadable = false;
        out.ancestor = list;
    }
    return written;
}

// Renames the unreadable file aside; afterwards the path holds nothing this writer knows of.
FileResult SetUnreadableAside(const std::string& path, MapSaveOutcome& out) {
    FileResult moved = MoveAside(path, ".bad", out.keptAside);
    if (moved.ok()) {
        out.keptUnreadable = !out.keptAside.empty();
        out.known = StampOf(path);
        out.knownUnreadable = false;
        out.ancestor.RemoveAllPoints();
    }
    return moved;
}

FileResult Save(const std::string& path, MapSaveOutcome& out) {
    const DiskStamp now = StampOf(path);
    const bool touched = !now.sameMetadata(out.known);
    if (!touched || !now.exists || !now.regular) {
        // Untouched since this writer last saw it, gone, or no file at all (a folder in its
        // way makes the write fail): an unreadable file goes aside, and ours is written.
        if (out.knownUnreadable && now.exists && !touched) {
            if (FileResult moved = SetUnreadableAside(path, out); !moved.ok()) {
                return moved;
            }
        }
        return Write(path, out.ours, out);
    }

    std::string bytes;
    PointList theirs;
    if (!ReadWholeFile(path, bytes).ok() ||
        DecodeMap(path, bytes, theirs).status == FileResult::Failed) {
        if (FileResult moved = SetUnreadableAside(path, out); !moved.ok()) {
            return moved;
        }
        return Write(path, out.ours, out);
    }
    if (out.known.hashed && !out.knownUnreadable && ContentHash(bytes) == out.known.hash) {
        out.known = StampOf(path, bytes); // rewritten with the same bytes
        return Write(path, out.ours, out);
    }

    MapMerge merge = MergeMaps(out.ancestor, theirs, out.ours);
    switch (merge.kind) {
    case MapMerge::Ours:
        return Write(path, out.ours, out);
    case MapMerge::Theirs:
        out.othersTaken = !SamePoints(theirs, out.ours);
        out.known = StampOf(path, bytes);
        out.knownUnreadable = false;
        out.ancestor = std::move(theirs);
        return FileResult::success();
    case MapMerge::Merged: {
        FileResult written = Write(path, merge.merged, out);
        out.othersTaken = written.ok();
        return written;
    }
    case MapMerge::Conflict:
        break;
    }
    if (FileResult copied = CopyAside(path, ".conflict", bytes, out.keptAside); !copied.ok()) {
        return FileResult::failure(
            path + ": another version of the map could not be kept aside: " + copied.message);
    }
    // Theirs is safe beside the map: from here on it is what this writer knows of the file.
    out.known = StampOf(path, bytes);
    out.knownUnreadable = false;
    out.ancestor = std::move(theirs);
    return Write(path, out.ours, out);
}

} // namespace

MapSaveOutcome SaveMapGuarded(MapSaveRequest request) {
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> guard(oneAtATime);
    RemakeFolder(request.path);
    const FolderLock folderLock(request.path);

    MapSaveOutcome out;
    out.ours = std::move(request.ours);
    out.ancestor = std::move(request.ancestor);
    out.known = request.known;
    out.knownUnreadable = request.knownUnreadable;
    try {
        out.result = Save(request.path, out);
    } catch (const std::bad_alloc&) {
        out.result = FileResult::failure(request.path + ": not enough memory to save the map");
    } catch (const std::exception& e) {
        out.result = FileResult::failure(request.path + ": " + e.what());
    }
    return out;
}

void SetLockWaitNotice(std::function<void(const std::string& mapPath)> notice) {
    LockWaitNotice() = std::move(notice);
}
