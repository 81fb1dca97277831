// Loading and saving a map of 1,000,000 points, each with a label and a memo of about 20 bytes,
// next to reading and writing the same number of bytes raw, the same way: the whole file read
// into a fresh buffer; the whole buffer written and flushed to disk with fsync.
// The files go to $ZELVOR_BENCH_DIR, or the system's temporary folder.
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "BenchMaps.h"
#include "MapFiles.h"
#include "PointList.h"

namespace {

constexpr int kPoints = 1'000'000;

struct Fixture {
    BenchFolder folder{"zelvor-bench"};
    std::string mapPath = folder.file("points.map");
    std::string rawPath = folder.file("raw.bin");
    PointList list = BenchPointList(kPoints);
    std::string encoded = EncodeMap(list);

    Fixture() {
        if (!SaveMapFile(mapPath, list).ok() || !WriteFileAtomically(rawPath, encoded).ok()) {
            throw std::runtime_error("cannot write the benchmark's files in " +
                                     folder.path.string());
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_LoadMap(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        PointList list;
        const FileResult r = LoadMapFile(f.mapPath, list);
        if (r.status != FileResult::Ok || list.count() != kPoints) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(list);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.encoded.size()));
}

void BM_ReadRaw(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        const int fd = ::open(f.rawPath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            state.SkipWithError("cannot open the raw file");
            break;
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        std::unique_ptr<char[]> buffer(new char[size]);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd, buffer.get() + done, size - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        if (done != size) {
            state.SkipWithError("short read");
            break;
        }
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.encoded.size()));
}

void BM_SaveMap(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        if (!SaveMapFile(f.mapPath, f.list).ok()) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.encoded.size()));
}

void BM_WriteRaw(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        const int fd = ::open(f.rawPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            state.SkipWithError("cannot open the raw file");
            break;
        }
        std::size_t done = 0;
        while (done < f.encoded.size()) {
            const ssize_t n = ::write(fd, f.encoded.data() + done, f.encoded.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        const bool synced = ::fsync(fd) == 0;
        ::close(fd);
        if (done != f.encoded.size() || !synced) {
            state.SkipWithError("raw write failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.encoded.size()));
}

} // namespace

BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_WriteRaw)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SaveMap)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
