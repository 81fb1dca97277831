#include "DiskStamp.h"

#include <sys/stat.h>

bool DiskStamp::sameMetadata(const DiskStamp& other) const {
    if (exists != other.exists) {
        return false;
    }
    return !exists || (device == other.device && inode == other.inode && size == other.size &&
                       mtimeNs == other.mtimeNs && ctimeNs == other.ctimeNs);
}

DiskStamp StampOf(const std::string& path) {
    DiskStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return stamp;
    }
    constexpr std::int64_t kNs = 1'000'000'000;
    stamp.exists = true;
    stamp.regular = S_ISREG(st.st_mode);
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNs + st.st_mtim.tv_nsec;
    stamp.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * kNs + st.st_ctim.tv_nsec;
    return stamp;
}

DiskStamp StampOf(const std::string& path, std::string_view content) {
    DiskStamp stamp = StampOf(path);
    stamp.hashed = true;
    stamp.hash = ContentHash(content);
    return stamp;
}

std::uint64_t ContentHash(std::string_view bytes) {
    // 64-bit FNV-1a.
    constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t h = kOffsetBasis;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= kPrime;
    }
    return h;
}
