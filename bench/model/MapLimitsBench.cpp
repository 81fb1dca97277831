// What a map costs to read, against its own size: the peak memory of loading valid maps whose
// texts are all empty or all just past the short-string size (where each text costs the most
// beyond its bytes), and the time to refuse a hostile map of no records followed by millions of
// one-byte memos. Memory is counted by this executable's own operator new.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "MapArchive.h"
#include "MapFiles.h"
#include "PointList.h"

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void counted(void* p) {
    const std::size_t now = g_live += ::malloc_usable_size(p);
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

} // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    counted(p);
    return p;
}

// GCC sees free() paired with a new-expression elsewhere; here free() is the match of the
// malloc() above.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (p != nullptr) {
        g_live -= ::malloc_usable_size(p);
        std::free(p);
    }
}

void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr int kPoints = 200'000;

std::string MapWithTexts(std::size_t textLength) {
    PointList list;
    const std::string text(textLength, 't');
    for (int i = 0; i < kPoints; ++i) {
        list.AddPoint(FactoryDefaults(), text, text, text);
    }
    return EncodeMap(list);
}

// Peak bytes allocated while a map is decoded, per byte of the map.
void BM_LoadPeakMemory(benchmark::State& state) {
    const std::string bytes = MapWithTexts(static_cast<std::size_t>(state.range(0)));
    double ratio = 0;
    for (auto _ : state) {
        PointList list;
        const std::size_t before = g_live.load();
        g_peak = before;
        if (DecodeMap("bench.map", bytes, list).status != FileResult::Ok) {
            state.SkipWithError("load failed");
            break;
        }
        ratio = static_cast<double>(g_peak.load() - before) / static_cast<double>(bytes.size());
        benchmark::DoNotOptimize(list);
    }
    state.counters["peak_per_file_byte"] = ratio;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// 0 records, then a memo section announcing 30 million one-byte memos (60 MB).
void BM_RefuseUnequalSections(benchmark::State& state) {
    constexpr std::uint32_t kMemos = 30'000'000;
    MapArchiveWriter writer;
    writer.WriteCount(0);
    writer.WriteCount(kMemos);
    std::string bytes = writer.take();
    bytes.reserve(bytes.size() + 2 * std::size_t{kMemos});
    for (std::uint32_t i = 0; i < kMemos; ++i) {
        bytes += "\x01"
                 "m";
    }
    double ratio = 0;
    for (auto _ : state) {
        PointList list;
        const std::size_t before = g_live.load();
        g_peak = before;
        if (DecodeMap("hostile.map", bytes, list).status != FileResult::Failed) {
            state.SkipWithError("the hostile map was accepted");
            break;
        }
        ratio = static_cast<double>(g_peak.load() - before) / static_cast<double>(bytes.size());
    }
    state.counters["peak_per_file_byte"] = ratio;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

} // namespace

BENCHMARK(BM_LoadPeakMemory)->Arg(0)->Arg(1)->Arg(16)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefuseUnequalSections)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
