#include "TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

std::string Hex(std::string_view hex) {
    std::string out;
    int pending = -1;
    for (char c : hex) {
        if (c == ' ') {
            continue;
        }
        const int v = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (v < 0 || v > 15) {
            throw std::invalid_argument("not a hex digit");
        }
        if (pending < 0) {
            pending = v;
        } else {
            out.push_back(static_cast<char>(pending * 16 + v));
            pending = -1;
        }
    }
    if (pending >= 0) {
        throw std::invalid_argument("odd number of hex digits");
    }
    return out;
}

std::string RecordBytes(const PointRecord& rec) {
    const RecordImage image = StorageImage(rec);
    return std::string(image.begin(), image.end());
}

PointRecord PatternRecord(std::uint8_t seed) {
    std::uint8_t bytes[kPointRecordSize];
    for (std::size_t i = 0; i < kPointRecordSize; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + 1) | 1;
    }
    return RecordFromBytes(bytes, sizeof bytes);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

PointList SampleList(int n) {
    PointList list;
    for (int i = 0; i < n; ++i) {
        PointRecord rec = PatternRecord(static_cast<std::uint8_t>(i));
        rec.dX = 0.5 + i;
        rec.dY = 1.0 / (i + 3);
        const std::string k = std::to_string(i);
        list.AddPoint(rec, "label " + k, i % 2 ? "" : "since " + k, "memo " + k);
    }
    return list;
}

ChunkedSource::ChunkedSource(std::string bytes, std::size_t piece, std::uint64_t announced)
    : m_bytes(std::move(bytes)), m_piece(piece), m_announced(announced) {}

std::size_t ChunkedSource::read(void* dest, std::size_t n) {
    const std::size_t k = std::min({n, m_piece, m_bytes.size() - m_pos});
    std::memcpy(dest, m_bytes.data() + m_pos, k);
    m_pos += k;
    return k;
}

int RunUnprivileged(const std::function<bool()>& check) {
    if (::geteuid() != 0) {
        return check() ? 1 : 0;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        const uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
            ::_exit(2);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return 0;
    }
    switch (WEXITSTATUS(status)) {
    case 0:
        return 1;
    case 2:
        return -1;
    default:
        return 0;
    }
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zelvor-model-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

namespace {

// Mounts made by the tests stay in a namespace of this process's own, so they cannot outlive
// it or show up elsewhere. Returns false when no such namespace can be had.
bool privateMountNamespace() {
    static const bool ok = [] {
        if (::unshare(CLONE_NEWNS) != 0) {
            return false;
        }
        return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    return ok;
}

} // namespace

ScopedTmpfs::ScopedTmpfs(const std::string& folder, std::size_t bytes) : m_folder(folder) {
    if (!privateMountNamespace()) {
        m_why = std::string("no private mount namespace: ") + std::strerror(errno);
        return;
    }
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        m_why = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
}

ScopedTmpfs::~ScopedTmpfs() {
    if (m_mounted) {
        ::umount2(m_folder.c_str(), MNT_DETACH);
    }
}

bool ScopedTmpfs::makeReadOnly() {
    if (::mount(nullptr, m_folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        m_why = std::string("cannot remount read-only: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace testsupport
