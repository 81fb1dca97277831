// What the map benchmarks share: a scratch folder and a list of many labelled points.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

#include "PointList.h"

// A folder "<prefix>-<pid>" under $ZELVOR_BENCH_DIR, or the system's temporary folder, removed
// with all it holds at the end.
struct BenchFolder {
    std::filesystem::path path;

    explicit BenchFolder(const std::string& prefix) {
        const char* env = std::getenv("ZELVOR_BENCH_DIR");
        path =
            (env != nullptr ? std::filesystem::path(env) : std::filesystem::temp_directory_path()) /
            (prefix + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    std::string file(const std::string& name) const { return (path / name).string(); }
};

// `n` points of the factory look along a diagonal, each with a label and a memo of about 20 bytes.
inline PointList BenchPointList(int n) {
    PointList list;
    PointRecord rec = FactoryDefaults();
    for (int i = 0; i < n; ++i) {
        rec.dX = i * 0.5;
        rec.dY = i * 0.25;
        const std::string k = std::to_string(i);
        list.AddPoint(rec, "label of point " + k, "", "memo for point " + k);
    }
    return list;
}
