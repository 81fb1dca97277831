// A file opened for reading as a ByteSource: its length from the file system, its bytes by
// plain reads, nothing mapped or read ahead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if !(defined(__unix__) || defined(__APPLE__))
#include <fstream>
#include <memory>
#endif

#include "ByteStreams.h"
#include "FileResult.h"

class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens `path`. Absent when it does not exist; Failed, naming the file and the reason, when
    // it exists but cannot be opened for reading (a folder, no permission, ...) or is not a
    // regular file (a FIFO, a device, a socket): opening never waits, whatever the file is.
    FileResult open(const std::string& path);

    std::uint64_t size() const override { return m_size; }
    // Throws ArchiveFileError, naming the file, when a read fails.
    std::size_t read(void* dest, std::size_t n) override;

private:
    std::string m_path;
    std::uint64_t m_size = 0;
#if defined(__unix__) || defined(__APPLE__)
    int m_fd = -1;
#else
    std::unique_ptr<std::ifstream> m_stream;
#endif
};
