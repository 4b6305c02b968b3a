// Speed of the resampler on a 10000 × 10000 tile, the size the resize job hands its workers:
// the whole-tile form (ScaleImage on the tile in memory) against the row-streaming form (the
// worker's row form, rows from memory to a sink), the plain against the AVX2 inner loops, 8-
// and 16-bit, shrinking by 2 and by 10 with the Lanczos and the nearest-neighbour method, on
// one thread and on two; and the whole worker on a tile file, reading the whole tile as before
// against streaming its rows.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "resample/ImageData.h"
#include "resample/RawResizeTh.h"
#include "resample/ResampleKernels.h"
#include "resample/Resampler.h"

namespace {

constexpr int32_t kSide = 10000;

// The source tile of each depth, made once: a smooth gradient with fine noise, so nothing is
// uniform.
const TImageData& SourceTile(TImageFormat format)
{
    static TImageData tiles[2];
    TImageData& tile = tiles[format == R16G16B16];
    if (!tile.Bits) {
        AllocImage(kSide, kSide, format, tile);
        uint32_t seed = 12345;
        const int64_t samples = int64_t(kSide) * kSide * 3;
        for (int64_t i = 0; i < samples; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int64_t x = (i / 3) % kSide;
            const uint32_t v = uint32_t((x * 255) / kSide / 2 + (seed >> 25));
            if (format == R16G16B16) {
                const uint16_t s = uint16_t(v * 257 + (seed & 0xFF));
                std::memcpy(tile.Bits + 2 * i, &s, 2);
            } else {
                tile.Bits[i] = uint8_t(v);
            }
        }
    }
    return tile;
}

// The arguments of the in-memory cases: divider, filter, threads, instruction set, depth.
struct TCase {
    int32_t Divider;
    TResizeFilter Filter;
    unsigned Threads;
    TResampleIsa Isa;
    TImageFormat Format;
};

TCase CaseOf(const benchmark::State& state)
{
    return { int32_t(state.range(0)), TResizeFilter(state.range(1)), unsigned(state.range(2)),
        TResampleIsa(state.range(3)), state.range(4) == 16 ? R16G16B16 : R8G8B8 };
}

std::string LabelOf(const TCase& c)
{
    return std::string(c.Format == R16G16B16 ? "16-bit " : "8-bit ")
        + (c.Filter == rfLanczos ? "lanczos" : "nearest") + " by " + std::to_string(c.Divider)
        + ", threads " + std::to_string(c.Threads)
        + (c.Filter == rfNearest              ? ""
                : c.Isa == TResampleIsa::Avx2 ? ", avx2"
                                              : ", plain");
}

// Selects the case's instruction set; false (and the case skipped) when the CPU lacks it.
bool Select(benchmark::State& state, const TCase& c)
{
    if (SelectResampleIsa(c.Isa))
        return true;
    state.SkipWithError("this processor cannot run the instruction set");
    return false;
}

// Whole-tile form: ScaleImage on a copy of the tile, as the worker ran it before it streamed;
// the time includes allocating the result (and its first touch) and freeing the source.
void BM_WholeTile(benchmark::State& state)
{
    const TCase c = CaseOf(state);
    if (!Select(state, c))
        return;
    const TImageData& source = SourceTile(c.Format);
    TImageData work;
    for (auto _ : state) {
        state.PauseTiming();
        AllocImage(kSide, kSide, c.Format, work);
        std::memcpy(work.Bits, source.Bits, size_t(source.Size));
        state.ResumeTiming();
        const bool scaled =
            ScaleImage(work, kSide / c.Divider, kSide / c.Divider, c.Filter, c.Threads);
        benchmark::DoNotOptimize(scaled);
        benchmark::DoNotOptimize(work.Bits);
    }
    state.counters["held_MB"] = double(source.Size + work.Size) / 1e6;
    ReleaseImage(work);
    (void)SelectResampleIsa(DetectedResampleIsa());
    state.SetLabel("whole tile, " + LabelOf(c));
}

// Row-streaming form: the worker's row form pulls the tile's rows from memory (a copy per
// row, as a reader would make) and hands the result rows to a sink that only looks at them.
void BM_RowStream(benchmark::State& state)
{
    const TCase c = CaseOf(state);
    if (!Select(state, c))
        return;
    const TImageData& source = SourceTile(c.Format);
    const int64_t rowBytes = int64_t(kSide) * GetFormatInfo(c.Format)->BytesPerPixel;
    uint64_t seen = 0;
    TRowResizeMemory peak;
    for (auto _ : state) {
        TRawResize worker;
        worker.InitRows(
            kSide, kSide, c.Format, (long double)c.Divider, c.Filter == rfNearest,
            [&](int32_t y, uint8_t* row) {
                std::memcpy(row, source.Bits + y * rowBytes, size_t(rowBytes));
                return true;
            },
            [&](int32_t, const uint8_t* row) {
                seen += row[0];
                return true;
            });
        worker.Threads = c.Threads;
        worker.ResizeTile();
        if (worker.Error) {
            state.SkipWithError(worker.ErrorText.c_str());
            break;
        }
        peak = worker.Peak;
    }
    benchmark::DoNotOptimize(seen);
    state.counters["held_MB"] = double(peak.Bytes) / 1e6;
    state.counters["rows_held"] = peak.SourceRows;
    (void)SelectResampleIsa(DetectedResampleIsa());
    state.SetLabel("rows, " + LabelOf(c));
}

void InMemoryCases(benchmark::internal::Benchmark* b)
{
    const int64_t plain = int64_t(TResampleIsa::Generic), avx2 = int64_t(TResampleIsa::Avx2);
    for (int64_t threads : { 1, 2 }) {
        for (int64_t divider : { 2, 10 })
            for (int64_t isa : { plain, avx2 })
                b->Args({ divider, rfLanczos, threads, isa, 8 });
        for (int64_t divider : { 2, 10 })
            b->Args({ divider, rfNearest, threads, avx2, 8 });
        for (int64_t isa : { plain, avx2 })
            b->Args({ 2, rfLanczos, threads, isa, 16 });
    }
}

// The whole worker on one 8-bit tile file, by 2 on two threads: the whole tile loaded,
// resized and saved (the former way), or its rows streamed from the file to the result file.
// The tile sits in the page cache after the first run, as it does right after the split
// wrote it.
void BM_RawResizeTile(benchmark::State& state)
{
    const bool fast = state.range(0) != 0;
    const bool whole = state.range(1) != 0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path()
        / ("tavmor-scale-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string tile = (folder / "bench_10000X10000_x1y1.raw").string();
    SaveRawPixels(tile, SourceTile(R8G8B8));
    TRowResizeMemory peak;
    for (auto _ : state) {
        TRawResize worker;
        worker.Init(tile, 2.0L, fast);
        worker.WholeTile = whole;
        worker.Threads = 2;
        worker.ResizeTile();
        if (worker.Error) {
            state.SkipWithError(worker.ErrorText.c_str());
            break;
        }
        peak = worker.Peak;
    }
    std::filesystem::remove_all(folder);
    state.counters["held_MB"] = double(peak.Bytes) / 1e6;
    state.SetLabel(std::string(whole ? "worker, whole tile, " : "worker, rows, ")
        + (fast ? "nearest" : "lanczos") + " by 2, threads 2, load and save");
}

// The machine is shared: the fastest of several runs is the figure least disturbed by others.
double Fastest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

#define TAVMOR_TILE_BENCHMARK(name)                                                                \
    BENCHMARK(name)                                                                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->MeasureProcessCPUTime()                                                                  \
        ->UseRealTime()                                                                            \
        ->Iterations(1)                                                                            \
        ->Repetitions(5)                                                                           \
        ->ComputeStatistics("min", Fastest)                                                        \
        ->ReportAggregatesOnly(true)

TAVMOR_TILE_BENCHMARK(BM_WholeTile)->Apply(InMemoryCases);
TAVMOR_TILE_BENCHMARK(BM_RowStream)->Apply(InMemoryCases);
TAVMOR_TILE_BENCHMARK(BM_RawResizeTile)->ArgsProduct({ { 0, 1 }, { 1, 0 } });

BENCHMARK_MAIN();
