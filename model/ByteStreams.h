// The two ends archives stream through: a source that a loading archive pulls bytes from and a
// sink that a storing archive pushes bytes into, so a large map never has to sit in memory twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Bytes to read, in order. size() is announced up front (a file's length) and bounds what a
// reader will ever ask for, so counts can be checked against it before anything is allocated.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads up to `n` bytes into `dest` and returns how many; 0 only when nothing is left.
    // Throws ArchiveFileError when the underlying file cannot be read.
    virtual std::size_t read(void* dest, std::size_t n) = 0;
};

// Bytes to write, in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends `bytes`. Returns false once the sink has failed; later writes are dropped.
    virtual bool write(std::string_view bytes) = 0;
};
