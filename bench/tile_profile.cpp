// A driver for profilers (perf record, callgrind): resizes one generated 10000 × 10000 tile (or
// any size) the way the resize worker does, a given number of times, and prints the time of each
// run. It has no timing harness of its own so that a profile shows only the worker's work.
//
//   tile_profile [--bits 8|16] [--divider D] [--fast] [--reps N] [--threads T] [--side S]
//                [--mode file|whole|memory|rows] [--isa generic|avx2]
//
// Modes: file (the default) writes the tile to a file and runs the worker on it, streaming
// rows from the file to the result file; whole runs the worker the way it worked before rows
// were streamed (load the tile, ScaleImage, save); memory runs ScaleImage alone on a copy of
// the tile held in memory; rows runs the worker's row form from the tile in memory to a sink
// that only adds the bytes up. Each run prints its wall-clock time and the CPU time of the
// process (user, system) over the run.
//
// Under `perf record -D -1 --control fifo:CTL,ACK` with TAVMOR_PERF_CTL=CTL and
// TAVMOR_PERF_ACK=ACK in the environment, the profile covers the timed runs only, not the
// making of the tile.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "resample/ImageData.h"
#include "resample/RawResizeTh.h"
#include "resample/ResampleKernels.h"
#include "resample/Resampler.h"

namespace {

struct TOptions {
    int32_t Bits = 8;
    long double Divider = 2.0L;
    bool Fast = false;
    int Reps = 1;
    unsigned Threads = 1;
    int32_t Side = 10000;
    std::string Mode = "file";
    TResampleIsa Isa = DetectedResampleIsa();
};

// A smooth gradient with fine noise, so that nothing is uniform.
void FillTile(TImageData& image)
{
    uint32_t seed = 12345;
    const int64_t samples = int64_t(image.Width) * image.Height * 3;
    const bool sixteen = image.Format == R16G16B16;
    for (int64_t i = 0; i < samples; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int64_t x = (i / 3) % image.Width;
        const uint32_t v = uint32_t((x * 255) / image.Width / 2 + (seed >> 25));
        if (sixteen) {
            const uint16_t s = uint16_t(v * 257 + (seed & 0xFF));
            std::memcpy(image.Bits + 2 * i, &s, 2);
        } else {
            image.Bits[i] = uint8_t(v);
        }
    }
}

// Sends a command ("enable", "disable") to a perf record that listens on a control fifo.
void PerfControl(const char* command)
{
    const char* control = std::getenv("TAVMOR_PERF_CTL");
    const char* ack = std::getenv("TAVMOR_PERF_ACK");
    if (!control || !ack)
        return;
    if (std::FILE* f = std::fopen(control, "w")) {
        std::fprintf(f, "%s\n", command);
        std::fclose(f);
    }
    if (std::FILE* f = std::fopen(ack, "r")) {
        // perf answers "ack" and a newline, and keeps its end of the fifo open.
        char reply[8];
        [[maybe_unused]] const char* line = std::fgets(reply, sizeof reply, f);
        std::fclose(f);
    }
}

// CPU time of the process so far, user and system apart.
void CpuTimes(double& user, double& system)
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    user = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
    system = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool Parse(int argc, char** argv, TOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--bits" && hasValue)
            o.Bits = std::atoi(argv[++i]);
        else if (a == "--divider" && hasValue)
            o.Divider = std::strtold(argv[++i], nullptr);
        else if (a == "--fast")
            o.Fast = true;
        else if (a == "--reps" && hasValue)
            o.Reps = std::atoi(argv[++i]);
        else if (a == "--threads" && hasValue)
            o.Threads = unsigned(std::atoi(argv[++i]));
        else if (a == "--side" && hasValue)
            o.Side = std::atoi(argv[++i]);
        else if (a == "--mode" && hasValue)
            o.Mode = argv[++i];
        else if (a == "--isa" && hasValue)
            o.Isa = std::string(argv[++i]) == "avx2" ? TResampleIsa::Avx2 : TResampleIsa::Generic;
        else
            return false;
    }
    const bool knownMode =
        o.Mode == "file" || o.Mode == "whole" || o.Mode == "memory" || o.Mode == "rows";
    return knownMode && (o.Bits == 8 || o.Bits == 16) && o.Divider >= 1.0L && o.Side > 0
        && o.Reps > 0;
}

} // namespace

int main(int argc, char** argv)
{
    TOptions o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr,
            "usage: tile_profile [--bits 8|16] [--divider D] [--fast] [--reps N] "
            "[--threads T] [--side S] [--mode file|whole|memory|rows] [--isa generic|avx2]\n");
        return 2;
    }
    if (!SelectResampleIsa(o.Isa)) {
        std::fprintf(stderr, "this processor cannot run that instruction set\n");
        return 2;
    }
    const TImageFormat format = o.Bits == 8 ? R8G8B8 : R16G16B16;
    TImageData tile;
    AllocImage(o.Side, o.Side, format, tile);
    FillTile(tile);
    const int32_t newSide = int32_t(std::nearbyint((long double)o.Side / o.Divider));
    const TResizeFilter filter = o.Fast ? rfNearest : rfLanczos;
    const bool onFile = o.Mode == "file" || o.Mode == "whole";

    const std::filesystem::path folder = std::filesystem::temp_directory_path()
        / ("tavmor-tile-profile-" + std::to_string(::getpid()));
    std::string tileName;
    if (onFile) {
        std::filesystem::create_directories(folder);
        tileName =
            (folder / ("p_" + std::to_string(o.Side) + "X" + std::to_string(o.Side) + "_x1y1.raw"))
                .string();
        SaveRawPixels(tileName, tile);
    }
    const int64_t rowBytes = int64_t(o.Side) * GetFormatInfo(format)->BytesPerPixel;
    PerfControl("enable");
    for (int rep = 0; rep < o.Reps; ++rep) {
        TImageData work;
        if (o.Mode == "memory") {
            AllocImage(o.Side, o.Side, format, work);
            std::memcpy(work.Bits, tile.Bits, size_t(tile.Size));
        }
        const auto start = std::chrono::steady_clock::now();
        double user0 = 0, system0 = 0, user1 = 0, system1 = 0;
        CpuTimes(user0, system0);
        TRowResizeMemory peak;
        uint64_t sum = 0;
        if (o.Mode == "memory") {
            ScaleImage(work, newSide, newSide, filter, o.Threads);
            ReleaseImage(work);
        } else {
            TRawResize worker;
            if (onFile) {
                worker.Init(tileName, o.Divider, o.Fast);
                worker.WholeTile = o.Mode == "whole";
            } else {
                worker.InitRows(
                    o.Side, o.Side, format, o.Divider, o.Fast,
                    [&](int32_t y, uint8_t* row) {
                        std::memcpy(row, tile.Bits + y * rowBytes, size_t(rowBytes));
                        return true;
                    },
                    [&](int32_t, const uint8_t* row) {
                        sum += row[0];
                        return true;
                    });
            }
            worker.Threads = o.Threads;
            worker.ResizeTile();
            if (worker.Error) {
                std::fprintf(stderr, "%s\n", worker.ErrorText.c_str());
                return 1;
            }
            if (onFile)
                std::filesystem::remove(worker.OutFileName);
            peak = worker.Peak;
        }
        CpuTimes(user1, system1);
        std::printf("%s %.3f s user %.3f s system %.3f s rows %d bytes %lld\n", o.Mode.c_str(),
            Seconds(start), user1 - user0, system1 - system0, peak.SourceRows,
            (long long)peak.Bytes);
    }
    PerfControl("disable");
    ReleaseImage(tile);
    if (onFile)
        std::filesystem::remove_all(folder);
    return 0;
}
