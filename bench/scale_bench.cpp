// Speed of ScaleImage on a 10000 × 10000 8-bit tile, the size the resize job hands its workers:
// shrinking by 2 and by 10 with the Lanczos and the nearest-neighbour method, on one thread
// and on every core.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "resample/ImageData.h"
#include "resample/RawResizeTh.h"
#include "resample/Resampler.h"

namespace {

constexpr int32_t kSide = 10000;

// The source tile, made once: a smooth gradient with fine noise, so nothing is uniform.
const TImageData& SourceTile()
{
    static TImageData tile = [] {
        TImageData image;
        AllocImage(kSide, kSide, R8G8B8, image);
        uint32_t seed = 12345;
        for (int64_t i = 0; i < image.Size; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int64_t x = (i / 3) % kSide;
            image.Bits[i] = uint8_t((x * 255) / kSide / 2 + (seed >> 25));
        }
        return image;
    }();
    return tile;
}

void BM_ScaleImage(benchmark::State& state)
{
    const int32_t divider = int32_t(state.range(0));
    const auto filter = TResizeFilter(state.range(1));
    const unsigned threads = unsigned(state.range(2));
    const TImageData& source = SourceTile();
    TImageData work;
    for (auto _ : state) {
        state.PauseTiming();
        AllocImage(kSide, kSide, R8G8B8, work);
        std::memcpy(work.Bits, source.Bits, size_t(source.Size));
        state.ResumeTiming();
        const bool scaled = ScaleImage(work, kSide / divider, kSide / divider, filter, threads);
        benchmark::DoNotOptimize(scaled);
        benchmark::DoNotOptimize(work.Bits);
    }
    ReleaseImage(work);
    state.SetLabel(std::string(filter == rfLanczos ? "lanczos" : "nearest") + " by "
        + std::to_string(divider) + ", threads "
        + std::to_string(threads ? threads : std::thread::hardware_concurrency()));
}

void Arguments(benchmark::internal::Benchmark* b)
{
    for (int64_t filter : { int64_t(rfLanczos), int64_t(rfNearest) })
        for (int64_t divider : { 2, 10 })
            for (int64_t threads : { 1, 0 })
                b->Args({ divider, filter, threads });
}

// The whole worker on one tile: load 300 MB, resize by 2 on every core, save the result. The
// tile sits in the page cache after the first run, as it does right after the split wrote it.
void BM_RawResizeTile(benchmark::State& state)
{
    const bool fast = state.range(0) != 0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path()
        / ("tavmor-scale-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string tile = (folder / "bench_10000X10000_x1y1.raw").string();
    {
        const TImageData& source = SourceTile();
        std::FILE* f = std::fopen(tile.c_str(), "wb");
        if (!f || std::fwrite(source.Bits, 1, size_t(source.Size), f) != size_t(source.Size)) {
            state.SkipWithError("cannot write the tile");
            if (f)
                std::fclose(f);
            return;
        }
        std::fclose(f);
    }
    for (auto _ : state) {
        TRawResize worker;
        worker.Init(tile, 2.0L, fast);
        worker.ResizeTile();
        if (worker.Error) {
            state.SkipWithError(worker.ErrorText.c_str());
            break;
        }
    }
    std::filesystem::remove_all(folder);
    state.SetLabel(fast ? "nearest by 2, load and save" : "lanczos by 2, load and save");
}

// The machine is shared: the fastest of several runs is the figure least disturbed by others.
double Fastest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

BENCHMARK(BM_RawResizeTile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ScaleImage)
    ->Apply(Arguments)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
