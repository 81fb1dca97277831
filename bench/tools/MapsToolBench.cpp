// zelvor-maps' commands next to their peers, measured in the same run:
// - list --format csv of a 1,000,000-point map vs loading that map;
// - render of a 24-megapixel JPEG with 10,000 points to PNG vs Qt reading that JPEG and writing
//   the same PNG without points;
// - due over 1,000 maps of 100 points each (goal: under a second) vs loading those maps.
// Output goes to files beside the inputs, in $ZELVOR_BENCH_DIR or the system's temporary folder.
#include <QImageReader>
#include <QImageWriter>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "BenchMaps.h"
#include "BenchPictures.h"
#include "ListCommands.h"
#include "MapFiles.h"
#include "RenderCommand.h"
#include "TextSink.h"

namespace fs = std::filesystem;

namespace {

// The scratch folder, removed with all it holds when the process ends.
const BenchFolder g_root("zelvor-maps-bench");

// A base folder with its MAPS folder.
fs::path Folder(const std::string& name) {
    const fs::path folder = g_root.path / name;
    fs::create_directories(folder / "MAPS");
    return folder;
}

void Save(const std::string& path, const PointList& list) {
    if (!SaveMapFile(path, list).ok()) {
        throw std::runtime_error("cannot write " + path);
    }
}

// Runs `command` with its output going to `outPath`; false when it failed.
template <typename Command> bool ToFile(const std::string& outPath, Command command) {
    std::FILE* file = std::fopen(outPath.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    int status = 0;
    {
        TextSink out(file);
        TextSink err(stderr);
        status = command(out, err);
        status |= out.flush() ? 0 : 1;
    }
    return std::fclose(file) == 0 && status == 0;
}

// A fixture, made once on first use (before the clock of the first benchmark that needs it).
template <typename T> T& Made() {
    static T fixture;
    return fixture;
}

struct BigMap {
    static constexpr int kPoints = 1'000'000;
    fs::path folder = Folder("list");
    std::string map = (folder / "MAPS" / "big.map").string();
    BigMap() { Save(map, BenchPointList(kPoints)); }
};

void BM_LoadMap1M(benchmark::State& state) {
    Made<BigMap>();
    for (auto _ : state) {
        PointList list;
        if (LoadMapFile(Made<BigMap>().map, list).status != FileResult::Ok) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(list);
    }
}
BENCHMARK(BM_LoadMap1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ListCsv1M(benchmark::State& state) {
    ListOptions o;
    o.format = OutputFormat::Csv;
    o.inputs << QString::fromStdString(Made<BigMap>().map);
    const std::string out = (Made<BigMap>().folder / "list.csv").string();
    for (auto _ : state) {
        if (!ToFile(out, [&](TextSink& s, TextSink& e) { return RunList(o, s, e); })) {
            state.SkipWithError("list failed");
            break;
        }
    }
    state.counters["MB"] = double(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_ListCsv1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

struct BigPicture {
    fs::path folder = Folder("render");
    QString jpeg = QString::fromStdString((folder / "photo.jpg").string());
    BigPicture() {
        if (!BenchPictures::WritePhotoJpeg(jpeg, 6000, 4000)) {
            throw std::runtime_error("cannot write the picture");
        }
        // 10,000 points over the picture, each with its own label; every fourth with a square.
        PointList list;
        for (int i = 0; i < 10'000; ++i) {
            PointRecord rec = FactoryDefaults();
            rec.dX = (i % 100) * 59.0 + 10;
            rec.dY = (i / 100) * 39.0 + 10;
            rec.bShowRect = i % 4 == 0;
            rec.nRectSize = 4;
            list.AddPoint(rec, "P" + std::to_string(i), "", "");
        }
        Save((folder / "MAPS" / "photo.map").string(), list);
    }
};

void BM_QtJpegToPng24MP(benchmark::State& state) {
    const QString out = QString::fromStdString((Made<BigPicture>().folder / "bare.png").string());
    for (auto _ : state) {
        const QImage image = QImageReader(Made<BigPicture>().jpeg).read();
        if (image.isNull() || !QImageWriter(out, "png").write(image)) {
            state.SkipWithError("Qt read or write failed");
            break;
        }
    }
}
BENCHMARK(BM_QtJpegToPng24MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_RenderPng24MP10kPoints(benchmark::State& state) {
    RenderOptions o;
    o.baseDir = QString::fromStdString(Made<BigPicture>().folder.string());
    o.picture = Made<BigPicture>().jpeg;
    o.output = QString::fromStdString((Made<BigPicture>().folder / "points.png").string());
    o.now = 1'700'000'000;
    TextSink out(stdout);
    TextSink err(stderr);
    for (auto _ : state) {
        if (RunRender(o, out, err) != 0) {
            state.SkipWithError("render failed");
            break;
        }
    }
}
BENCHMARK(BM_RenderPng24MP10kPoints)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

struct ManyMaps {
    fs::path folder = Folder("due");
    ManyMaps() {
        for (int m = 0; m < 1000; ++m) {
            PointList list;
            for (int i = 0; i < 100; ++i) {
                PointRecord rec = FactoryDefaults();
                rec.dX = i;
                rec.dY = m;
                // Half the points have a since date, spread over 2020 to 2029.
                rec.bSinceDate = i % 2;
                rec.stSince = {std::uint16_t(2020 + (m + i) % 10),
                               std::uint16_t(1 + i % 12),
                               0,
                               std::uint16_t(1 + m % 28),
                               9,
                               30,
                               0,
                               0};
                list.AddPoint(rec, "point " + std::to_string(i), "due since", "");
            }
            char name[32];
            std::snprintf(name, sizeof name, "plan%04d.map", m);
            Save((folder / "MAPS" / name).string(), list);
        }
    }
};

void BM_LoadThousandMaps(benchmark::State& state) {
    Made<ManyMaps>();
    for (auto _ : state) {
        for (const auto& entry : fs::directory_iterator(Made<ManyMaps>().folder / "MAPS")) {
            PointList list;
            LoadMapFile(entry.path().string(), list);
            benchmark::DoNotOptimize(list);
        }
    }
}
BENCHMARK(BM_LoadThousandMaps)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DueThousandMaps(benchmark::State& state) {
    DueOptions o;
    o.baseDir = QString::fromStdString(Made<ManyMaps>().folder.string());
    o.before = 1'800'000'000; // 2027: about seven in ten dated points are due
    const std::string out = (Made<ManyMaps>().folder / "due.txt").string();
    for (auto _ : state) {
        if (!ToFile(out, [&](TextSink& s, TextSink& e) { return RunDue(o, s, e); })) {
            state.SkipWithError("due failed");
            break;
        }
    }
    state.counters["MB"] = double(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_DueThousandMaps)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
