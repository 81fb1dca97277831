#include "FileSource.h"

#include <cerrno>
#include <cstring>

#include "MapArchive.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileSource::~FileSource() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileResult FileSource::open(const std::string& path) {
    m_path = path;
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come. Nothing but a
    // regular file is read: a FIFO, device or socket is a file that cannot be read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) { // no such file, or a path component is a file
            return FileResult::absent();
        }
        return FileResult::failure(path + ": cannot open: " + std::strerror(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return FileResult::failure(path + ": cannot read: " + std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileResult::failure(path + ": cannot read: " +
                                   (S_ISDIR(st.st_mode) ? std::strerror(EISDIR)
                                                        : std::string("not a regular file")));
    }
    // Reads of a regular file never block; clearing the flag keeps later reads plain anyway.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return FileResult::success();
}

std::size_t FileSource::read(void* dest, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(m_fd, dest, n);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw ArchiveFileError(m_path + ": cannot read: " + std::strerror(errno));
        }
    }
}

#else // Systems without POSIX files: a binary std::ifstream.
#include <filesystem>
#include <fstream>

FileSource::~FileSource() = default;

FileResult FileSource::open(const std::string& path) {
    m_path = path;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return FileResult::absent();
    }
    if (std::filesystem::is_directory(path, ec)) {
        return FileResult::failure(path + ": cannot read: it is a folder");
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        return FileResult::failure(path + ": cannot read: not a regular file");
    }
    m_stream = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*m_stream) {
        m_stream.reset();
        return FileResult::failure(path + ": cannot open");
    }
    const auto size = std::filesystem::file_size(path, ec);
    m_size = ec ? 0 : static_cast<std::uint64_t>(size);
    return FileResult::success();
}

std::size_t FileSource::read(void* dest, std::size_t n) {
    std::ifstream* in = m_stream.get();
    in->read(static_cast<char*>(dest), static_cast<std::streamsize>(n));
    if (in->bad()) {
        throw ArchiveFileError(m_path + ": cannot read");
    }
    return static_cast<std::size_t>(in->gcount());
}

#endif
