#include "MapLocator.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "MapFiles.h"

namespace fs = std::filesystem;

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

MapTarget LocateMap(const QString& baseDir, const QString& argument) {
    if (argument.endsWith(QLatin1String(".map"))) {
        return {LocalPath(argument), {}};
    }
    return {MapPathFor(LocalPath(baseDir), LocalPath(QFileInfo(argument).fileName())),
            LocalPath(argument)};
}

std::string DefaultsPath(const QString& baseDir) {
    return DefaultsPathFor(LocalPath(baseDir));
}

bool MapsUnder(const QString& baseDir, std::vector<std::string>& maps, std::string& error) {
    const fs::path folder = fs::path(LocalPath(baseDir)) / "MAPS";
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".map") == 0 &&
            it->is_regular_file(typeError)) {
            maps.push_back(it->path().string());
        }
    }
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
    std::sort(maps.begin(), maps.end());
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}
