#include "RecoveryCopy.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "MapFiles.h"

namespace fs = std::filesystem;

namespace {

// Copies named the same are numbered up to this; past it the folder is surely not being read.
constexpr int kMaxNumber = 10000;

// Takes `path` for this copy when no file has that name: an empty file made with O_EXCL, so
// that two programs ending at once never pick the same name.
bool Claim(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

std::string RecoveryFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    fs::path root;
    if (state != nullptr && state[0] == '/') {
        root = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        root = fs::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return (root / "Harrowmere" / "Zelvor" / "recovered").string();
}

FileResult WriteRecoveryCopy(const std::string& mapPath, const PointList& list,
                             std::string& copyPath) {
    copyPath.clear();
    const std::string folder = RecoveryFolder();
    if (folder.empty()) {
        return FileResult::failure("no recovery folder: HOME is not set");
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        return FileResult::failure(folder + ": cannot make the folder: " + ec.message());
    }
    fs::path name = fs::path(mapPath).filename();
    const std::string stem = name.stem().string().empty() ? "points" : name.stem().string();
    for (int n = 1; n <= kMaxNumber; ++n) {
        const std::string candidate =
            (fs::path(folder) / (n == 1 ? stem + ".map" : stem + "-" + std::to_string(n) + ".map"))
                .string();
        int error = 0;
        if (!Claim(candidate, error)) {
            if (error == EEXIST) {
                continue;
            }
            return FileResult::failure(candidate + ": cannot write: " + std::strerror(error));
        }
        // The claimed empty file is this copy's own: replacing it loses nothing.
        FileResult written = SaveMapFile(candidate, list);
        if (!written.ok()) {
            ::unlink(candidate.c_str());
            return written;
        }
        copyPath = candidate;
        return written;
    }
    return FileResult::failure(folder + ": no free name for a copy of " + name.string());
}
