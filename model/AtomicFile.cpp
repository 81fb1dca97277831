#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#define ZELVOR_POSIX_FILES 1
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fstream>
#endif

namespace fs = std::filesystem;

namespace {

FileResult failed(const std::string& path, const std::string& what, int err) {
    return FileResult::failure(path + ": " + what + ": " + std::strerror(err));
}

std::string folderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// A name for a temporary file next to `target`, unlikely to be taken.
std::string temporaryNameFor(const std::string& target) {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "0123456789abcdef";
    std::string suffix;
    std::uint64_t r = generator();
    for (int i = 0; i < 12; ++i, r >>= 4) {
        suffix.push_back(digits[r & 0xF]);
    }
    const fs::path p(target);
    return (p.parent_path() / ("." + p.filename().string() + ".tmp-" + suffix)).string();
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

#ifdef ZELVOR_POSIX_FILES

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

bool writeAll(int fd, std::string_view bytes, const AtomicWriteOptions& options) {
    const std::size_t chunk = std::max<std::size_t>(options.chunkSize, 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t piece = std::min(chunk, bytes.size() - done);
        std::size_t written = 0;
        while (written < piece) {
            const ssize_t n = ::write(fd, bytes.data() + done + written, piece - written);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (n == 0) {
                errno = EIO;
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        done += piece;
        if (options.afterChunk) {
            options.afterChunk(done);
        }
    }
    return true;
}

// Gives the new file the permission bits (and, where allowed, the owner) of the file it
// replaces, so a save does not widen who may read a map.
bool carryOverAttributes(int fd, const struct stat& old) {
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
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
                        std::string_view bytes, const AtomicWriteOptions& options, bool unnamed,
                        const struct stat* old, FileResult& result) {
    int fd = -1;
    UnlinkGuard removeTemp;
    std::string tempName;
    if (unnamed) {
#ifdef O_TMPFILE
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
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
            tempName = temporaryNameFor(target);
            fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (!writeAll(fd, bytes, options)) {
        const int err = errno;
        result = failed(target, "cannot write", err);
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
            tempName = temporaryNameFor(target);
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

FileResult ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return FileResult::absent();
        }
        const int err = errno;
        return failed(path, "cannot open", err);
    }
    FdGuard file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        return failed(path, "cannot read", err);
    }
    if (S_ISDIR(st.st_mode)) {
        return failed(path, "cannot read", EISDIR);
    }

    // Read what fstat announced, then keep going in case the file grew meanwhile.
    std::size_t size = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    out.resize(size > 0 ? size : 65536);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) {
            out.resize(out.size() + std::max<std::size_t>(out.size() / 2, 65536));
        }
        const ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int err = errno;
            out.clear();
            return failed(path, "cannot read", err);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return FileResult::success();
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
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

    FileResult result;
    if (options.allowUnnamedTemp && writeAndReplace(target, folder, bytes, options, true, existing,
                                                    result) != Attempt::Unsupported) {
        return result;
    }
    writeAndReplace(target, folder, bytes, options, false, existing, result);
    return result;
}

#else // Systems without POSIX files: the standard library's streams and rename.

FileResult ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        return FileResult::absent();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return FileResult::failure(path + ": cannot open");
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        out.clear();
        return FileResult::failure(path + ": cannot read");
    }
    return FileResult::success();
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    const std::string target = ResolveLinks(path);
    if (target.empty()) {
        return FileResult::failure(path + ": cannot follow the link");
    }
    const std::string tempName = temporaryNameFor(target);
    {
        std::ofstream out(tempName, std::ios::binary | std::ios::trunc);
        std::size_t done = 0;
        const std::size_t chunk = std::max<std::size_t>(options.chunkSize, 1);
        while (out && done < bytes.size()) {
            const std::size_t piece = std::min(chunk, bytes.size() - done);
            out.write(bytes.data() + done, static_cast<std::streamsize>(piece));
            done += piece;
            if (out && options.afterChunk) {
                options.afterChunk(done);
            }
        }
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(tempName, ignored);
            return FileResult::failure(path + ": cannot write");
        }
    }
    std::error_code ec;
    fs::rename(tempName, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(tempName, ignored);
        return FileResult::failure(path + ": cannot replace the file: " + ec.message());
    }
    return FileResult::success();
}

#endif
