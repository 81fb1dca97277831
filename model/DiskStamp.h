// What a file on disk looked like when it was last read or written: enough to tell, cheaply,
// whether anything has replaced or rewritten it since.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct DiskStamp {
    bool exists = false;
    bool regular = false; // a plain file (not a folder, a pipe, a device...)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    // The content's hash, when the content was at hand (hashed is false otherwise).
    bool hashed = false;
    std::uint64_t hash = 0;

    // True when both describe the same file in the same state as far as its metadata tells:
    // the same existence, device, inode, size and both times. An atomic replace always changes
    // the inode or the change time, so a rewrite by anyone shows here.
    bool sameMetadata(const DiskStamp& other) const;
};

// The stamp of `path` (links followed), without a hash. A path that cannot be examined counts
// as not existing.
DiskStamp StampOf(const std::string& path);
// The stamp of `path` together with the hash of `content`, the bytes it is known to hold.
DiskStamp StampOf(const std::string& path, std::string_view content);
// A 64-bit hash of the bytes (FNV-1a), stable across runs.
std::uint64_t ContentHash(std::string_view bytes);
