#include "AsideFile.h"

#include <filesystem>
#include <system_error>

#include "AtomicFile.h"

namespace fs = std::filesystem;

namespace {

bool Taken(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(fs::path(path), ec).type() != fs::file_type::not_found;
}

FileResult NoFreeName(const std::string& path, const std::string& suffix) {
    return FileResult::failure(path + ": no free name ending in \"" + suffix +
                               "\" to keep it under");
}

} // namespace

std::string FreeAsideName(const std::string& path, const std::string& suffix) {
    for (int n = 1; n < 1000; ++n) {
        std::string candidate = path + suffix + (n > 1 ? std::to_string(n) : std::string());
        if (!Taken(candidate)) {
            return candidate;
        }
    }
    return {};
}

FileResult MoveAside(const std::string& path, const std::string& suffix, std::string& asidePath) {
    if (!Taken(path)) {
        return FileResult::success();
    }
    std::string candidate = FreeAsideName(path, suffix);
    if (candidate.empty()) {
        return NoFreeName(path, suffix);
    }
    std::error_code ec;
    fs::rename(fs::path(path), fs::path(candidate), ec);
    if (ec) {
        return FileResult::failure(path + ": it could not be kept aside: " + ec.message());
    }
    asidePath = std::move(candidate);
    return FileResult::success();
}

FileResult CopyAside(const std::string& path, const std::string& suffix, std::string_view bytes,
                     std::string& asidePath) {
    std::string candidate = FreeAsideName(path, suffix);
    if (candidate.empty()) {
        return NoFreeName(path, suffix);
    }
    FileResult written = WriteFileAtomically(candidate, bytes);
    if (written.ok()) {
        asidePath = std::move(candidate);
    }
    return written;
}
