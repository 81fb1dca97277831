#include "AtomicFile.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileSource.h"
#include "MapArchive.h"

namespace fs = std::filesystem;

namespace {

FileResult failed(const std::string& path, const std::string& what, int err) {
    return FileResult::failure(path + ": " + what + ": " + std::strerror(err));
}

std::string folderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Temporary files are named ".zelvor-<12 hex digits>.tmp", whatever the target's name: a fixed
// length, so a target whose name is as long as the file system allows can still be saved.
constexpr std::string_view kTempPrefix = ".zelvor-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kTempDigits = 12;
constexpr int kBitsPerHexDigit = 4;
// Earlier versions named them ".<target name>.tmp-<12 hex digits>".
constexpr std::string_view kOldTempMarker = ".tmp-";
// A temporary file untouched for this long belongs to no save still running: a running save
// writes its file continuously and renames it at once.
constexpr auto kLeftoverAge = std::chrono::hours(1);
// Permission bits (with set-user, set-group and sticky) a replaced file hands on; those a new
// file asks for, which the umask then narrows.
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewFileMode = 0666;

bool isHexDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

// A name for a temporary file in `folder`, unlikely to be taken.
std::string temporaryNameIn(const std::string& folder) {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::string name(kTempPrefix);
    std::uint64_t r = generator();
    for (std::size_t i = 0; i < kTempDigits; ++i, r >>= kBitsPerHexDigit) {
        name.push_back(digits[r % (1U << kBitsPerHexDigit)]);
    }
    name += kTempSuffix;
    return (fs::path(folder) / name).string();
}

// Whether `name` (without folder) is that of a save's temporary file, from this version or an
// earlier one.
bool isTemporaryName(std::string_view name) {
    if (name.size() == kTempPrefix.size() + kTempDigits + kTempSuffix.size() &&
        name.starts_with(kTempPrefix) && name.ends_with(kTempSuffix)) {
        return isHexDigits(name.substr(kTempPrefix.size(), kTempDigits));
    }
    const std::size_t tail = kOldTempMarker.size() + kTempDigits;
    return name.size() > tail + 1 && name.front() == '.' &&
           name.substr(name.size() - tail, kOldTempMarker.size()) == kOldTempMarker &&
           isHexDigits(name.substr(name.size() - kTempDigits));
}

// Removes from `folder` the temporary files of saves that were killed: regular files with such a
// name, not written for longer than any save still running takes. What cannot be removed stays.
void removeLeftovers(const std::string& folder) {
    const auto oldest = fs::file_time_type::clock::now() - kLeftoverAge;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryEc;
        if (!isTemporaryName(it->path().filename().string()) ||
            it->symlink_status(entryEc).type() != fs::file_type::regular) {
            continue;
        }
        const auto written = it->last_write_time(entryEc);
        if (!entryEc && written < oldest) {
            fs::remove(it->path(), entryEc);
        }
    }
}

} // namespace

std::string ResolveLinks(const std::string& path) {
    constexpr int kMaxHops = 40;
    fs::path current(path);
    for (int hop = 0; hop < kMaxHops; ++hop) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(current, ec);
        if (ec || status.type() != fs::file_type::symlink) {
            // Not a link, or nothing there yet: this is the file to write.
            return current.string();
        }
        const fs::path target = fs::read_symlink(current, ec);
        if (ec) {
            return {};
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return {};
}

namespace {

// Closes a descriptor on every path out of a scope unless released.
class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports close's own result (errno set on failure).
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Removes a named file when the scope is left before the file was handed on.
class UnlinkGuard {
public:
    UnlinkGuard() = default;
    ~UnlinkGuard() {
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
        }
    }
    UnlinkGuard(const UnlinkGuard&) = delete;
    UnlinkGuard& operator=(const UnlinkGuard&) = delete;
    void arm(std::string path) { m_path = std::move(path); }
    void release() { m_path.clear(); }

private:
    std::string m_path;
};

// Writes to a descriptor in pieces of at most options.chunkSize, checking every write. After
// the first failure it drops everything and keeps the error.
class FdSink : public ByteSink {
public:
    FdSink(int fd, const AtomicWriteOptions& options)
        : m_fd(fd), m_chunk(std::max<std::size_t>(options.chunkSize, 1)),
          m_afterChunk(options.afterChunk) {}

    bool write(std::string_view bytes) override {
        std::size_t done = 0;
        while (m_error == 0 && done < bytes.size()) {
            const std::size_t piece = std::min(m_chunk, bytes.size() - done);
            std::size_t written = 0;
            while (written < piece) {
                const ssize_t n = ::write(m_fd, bytes.data() + done + written, piece - written);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    m_error = n < 0 ? errno : EIO;
                    return false;
                }
                written += static_cast<std::size_t>(n);
            }
            done += piece;
            m_total += piece;
            if (m_afterChunk) {
                m_afterChunk(m_total);
            }
        }
        return m_error == 0;
    }
    int error() const { return m_error; }

private:
    int m_fd;
    std::size_t m_chunk;
    const std::function<void(std::size_t)>& m_afterChunk;
    std::size_t m_total = 0;
    int m_error = 0;
};

// Gives the new file the permission bits (and, where allowed, the owner) of the file it
// replaces, so a save does not widen who may read a map.
bool carryOverAttributes(int fd, const struct stat& old) {
    if (::fchmod(fd, old.st_mode & kPermissionBits) != 0) {
        return false;
    }
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        // Only a privileged process can give the file away; otherwise it keeps our ownership.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            errno = 0;
        }
    }
    return true;
}

bool syncFolder(const std::string& folder) {
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        return false;
    }
    FdGuard guard(dfd);
    // Some file systems cannot sync a folder at all; that is not a failure of this save.
    if (::fsync(dfd) != 0 && errno != EINVAL && errno != EROFS) {
        return false;
    }
    return guard.close() || errno == EINTR;
}

enum class Attempt { Done, Failed, Unsupported };

// Writes `bytes` into a file in `folder` and, once it is complete and on disk, renames it over
// `target`. Unsupported means the unnamed route is not available here and nothing was changed.
Attempt writeAndReplace(const std::string& target, const std::string& folder,
                        const FileProducer& produce, const AtomicWriteOptions& options,
                        bool unnamed, const struct stat* old, FileResult& result) {
    int fd = -1;
    UnlinkGuard removeTemp;
    std::string tempName;
    if (unnamed) {
#ifdef O_TMPFILE
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
        if (fd < 0) {
            if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
                return Attempt::Unsupported;
            }
            const int err = errno;
            result = failed(target, "cannot create a file in " + folder, err);
            return Attempt::Failed;
        }
#else
        return Attempt::Unsupported;
#endif
    } else {
        for (int tries = 0; fd < 0 && tries < 100; ++tries) {
            tempName = temporaryNameIn(folder);
            fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
            if (fd < 0 && errno != EEXIST) {
                break;
            }
        }
        if (fd < 0) {
            const int err = errno;
            result = failed(target, "cannot create a file in " + folder, err);
            return Attempt::Failed;
        }
        removeTemp.arm(tempName);
    }
    FdGuard file(fd);

    if (old != nullptr && !carryOverAttributes(fd, *old)) {
        const int err = errno;
        result = failed(target, "cannot set the file's permissions", err);
        return Attempt::Failed;
    }
    FdSink sink(fd, options);
    produce(sink);
    if (sink.error() != 0) {
        result = failed(target, "cannot write", sink.error());
        return Attempt::Failed;
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        result = failed(target, "cannot flush to disk", err);
        return Attempt::Failed;
    }

    if (unnamed) {
        // Give the finished file a name so it can be renamed over the target. /proc names the
        // open file without needing extra privileges.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        bool linked = false;
        for (int tries = 0; !linked && tries < 100; ++tries) {
            tempName = temporaryNameIn(folder);
            linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tempName.c_str(),
                              AT_SYMLINK_FOLLOW) == 0;
            if (!linked && errno != EEXIST) {
                break;
            }
        }
        if (!linked) {
            // No /proc, or linking is refused: the named route still works.
            return Attempt::Unsupported;
        }
        removeTemp.arm(tempName);
    }

    if (!file.close()) {
        const int err = errno;
        result = failed(target, "cannot write", err);
        return Attempt::Failed;
    }
    if (::rename(tempName.c_str(), target.c_str()) != 0) {
        const int err = errno;
        result = failed(target, "cannot replace the file", err);
        return Attempt::Failed;
    }
    removeTemp.release();
    if (!syncFolder(folder)) {
        const int err = errno;
        result = failed(target, "written, but the folder could not be flushed to disk", err);
        return Attempt::Failed;
    }
    result = FileResult::success();
    return Attempt::Done;
}

} // namespace

FileResult WriteFileAtomically(const std::string& path, const FileProducer& produce,
                               const AtomicWriteOptions& options) {
    const std::string target = ResolveLinks(path);
    if (target.empty()) {
        return failed(path, "cannot follow the link", ELOOP);
    }
    const std::string folder = folderOf(target);

    struct stat old {};
    const struct stat* existing = nullptr;
    if (::stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            return failed(path, "not a regular file", S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
        }
        existing = &old;
        // A file the user has made read-only stays as it is, although the folder would let a
        // rename replace it.
        if (::access(target.c_str(), W_OK) != 0) {
            const int err = errno;
            return failed(path, "cannot write", err);
        }
    }

    removeLeftovers(folder);
    FileResult result;
    if (options.allowUnnamedTemp && writeAndReplace(target, folder, produce, options, true,
                                                    existing, result) != Attempt::Unsupported) {
        return result;
    }
    writeAndReplace(target, folder, produce, options, false, existing, result);
    return result;
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    return WriteFileAtomically(
        path, [bytes](ByteSink& sink) { sink.write(bytes); }, options);
}

FileResult ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    FileSource file;
    const FileResult opened = file.open(path);
    if (opened.status != FileResult::Ok) {
        return opened;
    }
    try {
        // Read what the file system announced, then on to the end in case there is more (files
        // that report no length, or a file that grew meanwhile).
        std::size_t used = 0;
        out.resize(std::max<std::size_t>(static_cast<std::size_t>(file.size()), 4096));
        for (;;) {
            if (used == out.size()) {
                out.resize(out.size() + out.size() / 2);
            }
            const std::size_t n = file.read(out.data() + used, out.size() - used);
            if (n == 0) {
                break;
            }
            used += n;
        }
        out.resize(used);
    } catch (const ArchiveFileError& e) {
        out.clear();
        return FileResult::failure(e.what());
    }
    return FileResult::success();
}
