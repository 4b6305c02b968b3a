// Resizing an in-memory image: a fixed-point nearest-neighbour stretch and a separable filtered
// resampler (linear, Catmull-Rom, Lanczos) with float weights and clamped edges.
#include "resample/Resampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "resample/PixelMath.h"
#include "resample/ResampleKernels.h"
#include "resample/ResampleTexts.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Destination rows are handed to the threads in small blocks so that a slow thread does not
// hold up the end; which thread draws a row never changes its bytes.
constexpr int32_t kRowsPerBlock = 8;

unsigned ThreadCountFor(unsigned requested, int32_t rows)
{
    unsigned n = requested ? requested : std::thread::hardware_concurrency();
    n = std::max(1u, n);
    return std::min<unsigned>(n, unsigned(std::max(1, rows / kRowsPerBlock)));
}

// Runs drawRows(y0, y1) over [0, rows) in blocks on up to `threads` threads, the calling one
// included. The first failure of any thread is rethrown here after all have stopped. When a
// thread cannot be created the others draw its share.
template <typename TDrawRows> void ParallelRows(int32_t rows, unsigned threads, TDrawRows drawRows)
{
    std::atomic<int32_t> next { 0 };
    std::atomic<bool> failed { false };
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&] {
        try {
            TRoundToNearestScope rounding;
            auto draw = drawRows; // each thread owns its line buffers
            for (;;) {
                if (failed.load(std::memory_order_relaxed))
                    return;
                const int32_t y0 = next.fetch_add(kRowsPerBlock, std::memory_order_relaxed);
                if (y0 >= rows)
                    return;
                draw(y0, std::min(rows, y0 + kRowsPerBlock));
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure)
                failure = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < ThreadCountFor(threads, rows); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
}

int32_t ClampIndex(int64_t j, int32_t count)
{
    return int32_t(std::clamp<int64_t>(j, 0, int64_t(count) - 1));
}

// Sum of the weights minus 1 goes to the middle contributor, so the weights add up to 1
// without being divided by their sum.
void CorrectMiddle(TCluster& cluster, float sum)
{
    if (sum != 0.0f)
        cluster[(cluster.size() - 1) / 2].Weight -= sum;
}

// ---- Filtered resampling ----

// The whole source is at hand, so the vertical pass reads its samples where they are and
// converts each on the way.
template <typename TSample>
void FilteredRows(const TImageData& source, TImageData& destination, const TMappingTable& rows,
    const TColumnTable& columns, int32_t lowX, int32_t highX, unsigned threads)
{
    const TResampleKernels& kernels = SelectedKernels();
    const TRowTaps taps = FlattenRows(rows);
    const size_t used = size_t(highX - lowX + 1) * kLineChannels;
    const size_t outCount = size_t(destination.Width) * kLineChannels;
    const int64_t stride = int64_t(source.Width) * kLineChannels;
    const TSample* base =
        reinterpret_cast<const TSample*>(source.Bits) + int64_t(lowX) * kLineChannels;
    struct TBuffers {
        std::vector<const TSample*> Rows;
        std::vector<float> Line, Out;
    };
    ParallelRows(destination.Height, threads, [&, b = TBuffers()](int32_t y0, int32_t y1) mutable {
        // One float of padding after the line and after the row: pixels are read and
        // written four floats at a time.
        b.Line.resize(used + 1, 0.0f);
        b.Out.resize(outCount + 1, 0.0f);
        for (int32_t y = y0; y < y1; ++y) {
            const size_t first = taps.Start[size_t(y)];
            const size_t count = taps.Start[size_t(y) + 1] - first;
            b.Rows.resize(count);
            for (size_t k = 0; k < count; ++k)
                b.Rows[k] = base + taps.Pos[first + k] * stride;
            RunVertical(
                kernels, b.Rows.data(), taps.Weight.data() + first, count, used, b.Line.data());
            kernels.Horizontal(b.Line.data(), columns, destination.Width, b.Out.data());
            RunStoreRow(kernels, b.Out.data(), outCount,
                reinterpret_cast<TSample*>(destination.Bits) + int64_t(y) * int64_t(outCount));
        }
    });
}

// ---- Nearest neighbour ----

template <int32_t BytesPerPixel>
void NearestRows(const TImageData& source, TImageData& destination, unsigned threads)
{
    // 64-bit steps and sums: sides up to 2^31 − 1 pixels.
    const int64_t xStep = (int64_t(source.Width) << 16) / destination.Width;
    const int64_t yStep = (int64_t(source.Height) << 16) / destination.Height;
    std::vector<int64_t> sourceByte(size_t(destination.Width));
    int64_t sumX = 0;
    for (int64_t& b : sourceByte) {
        b = (sumX >> 16) * BytesPerPixel;
        sumX += xStep;
    }
    const int64_t sourceStride = int64_t(source.Width) * BytesPerPixel;
    const int64_t destinationStride = int64_t(destination.Width) * BytesPerPixel;
    ParallelRows(destination.Height, threads, [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            // y × yStep equals the running sum of the steps of the rows above.
            const uint8_t* in = source.Bits + ((int64_t(y) * yStep) >> 16) * sourceStride;
            uint8_t* out = destination.Bits + int64_t(y) * destinationStride;
            for (size_t x = 0; x < sourceByte.size(); ++x)
                std::memcpy(out + x * BytesPerPixel, in + sourceByte[x], BytesPerPixel);
        }
    });
}

void CheckPair(const TImageData& source, const TImageData& destination)
{
    if (!IsValidImage(source) || !IsValidImage(destination))
        throw EImageError(ResampleText::BadImageSize);
    if (source.Format != destination.Format)
        throw EImageError(ResampleText::UnknownFormat);
}

} // namespace

float Sinc(float t)
{
    if (t == 0.0f)
        return 1.0f;
    const float p = float(kPi * double(t));
    return float(std::sin(double(p)) / double(p));
}

float LinearKernel(float x)
{
    const float a = std::fabs(x);
    return a < 1.0f ? 1.0f - a : 0.0f;
}

float CatmullRomKernel(float x)
{
    const double a = std::fabs(x);
    if (a < 1.0)
        return float(((3.0 * a - 5.0) * a * a + 2.0) * 0.5);
    if (a < 2.0)
        return float((((5.0 - a) * a - 8.0) * a + 4.0) * 0.5);
    return 0.0f;
}

float LanczosKernel(float x)
{
    const float a = std::fabs(x);
    if (a < 3.0f)
        return Sinc(a) * Sinc(a / 3.0f);
    return 0.0f;
}

TMappingTable BuildClusters(
    int32_t destinationCount, int32_t sourceCount, TFilterKernel kernel, float radius)
{
    TMappingTable table;
    if (destinationCount <= 0 || sourceCount <= 0)
        return table;
    if (sourceCount == 1) {
        table.assign(size_t(destinationCount), TCluster { TPointRec { 0, 1.0f } });
        return table;
    }
    TRoundToNearestScope rounding;
    table.resize(size_t(destinationCount));
    // Every named value is rounded to float as it is stored; the expressions in between are
    // formed in double.
    const float scale = float(double(destinationCount) / double(sourceCount));
    const bool shrinking = scale < 1.0f;
    const float width = shrinking ? radius / scale : radius;
    const float step = 1.0f / scale;
    for (int32_t i = 0; i < destinationCount; ++i) {
        const float centre = shrinking ? float((double(i) + 0.5) / double(scale) - 0.5)
                                       : float((double(i) + 0.5) * double(step) - 0.5);
        const int64_t left = int64_t(std::floor(centre - width));
        const int64_t right = int64_t(std::ceil(centre + width));
        TCluster& cluster = table[size_t(i)];
        cluster.reserve(size_t(right - left + 1));
        float sum = -1.0f;
        for (int64_t j = left; j <= right; ++j) {
            const float w = shrinking
                ? scale * kernel(float((double(centre) - double(j)) * double(scale)))
                : kernel(float(double(centre) - double(j)));
            if (w != 0.0f) {
                cluster.push_back({ ClampIndex(j, sourceCount), w });
                sum += w;
            }
        }
        if (cluster.empty())
            cluster.push_back({ ClampIndex(int64_t(std::floor(centre)), sourceCount), 1.0f });
        else
            CorrectMiddle(cluster, sum);
    }
    return table;
}

void ClusterRange(const TMappingTable& table, int32_t& low, int32_t& high)
{
    bool any = false;
    low = 0;
    high = -1;
    for (const TCluster& cluster : table)
        for (const TPointRec& p : cluster) {
            low = any ? std::min(low, p.Pos) : p.Pos;
            high = any ? std::max(high, p.Pos) : p.Pos;
            any = true;
        }
}

void NearestStretch(const TImageData& source, TImageData& destination, unsigned threads)
{
    CheckPair(source, destination);
    switch (GetFormatInfo(source.Format)->BytesPerPixel) {
    case 3:
        NearestRows<3>(source, destination, threads);
        break;
    case 6:
        NearestRows<6>(source, destination, threads);
        break;
    default:
        throw EImageError(ResampleText::UnknownFormat);
    }
}

void FilteredStretch(const TImageData& source, TImageData& destination, TFilterKernel kernel,
    float radius, unsigned threads)
{
    CheckPair(source, destination);
    const TMappingTable columns = BuildClusters(destination.Width, source.Width, kernel, radius);
    const TMappingTable rows = BuildClusters(destination.Height, source.Height, kernel, radius);
    if (columns.empty() || rows.empty())
        return;
    int32_t lowX = 0, highX = -1;
    ClusterRange(columns, lowX, highX);
    const TColumnTable flat = FlattenColumns(columns, lowX);
    if (source.Format == R8G8B8)
        FilteredRows<uint8_t>(source, destination, rows, flat, lowX, highX, threads);
    else if (source.Format == R16G16B16)
        FilteredRows<uint16_t>(source, destination, rows, flat, lowX, highX, threads);
    else
        throw EImageError(ResampleText::UnknownFormat);
}

void StretchImage(
    const TImageData& source, TImageData& destination, TResizeFilter filter, unsigned threads)
{
    switch (filter) {
    case rfNearest:
        NearestStretch(source, destination, threads);
        return;
    case rfBilinear:
        FilteredStretch(source, destination, LinearKernel, 1.0f, threads);
        return;
    case rfBicubic:
        FilteredStretch(source, destination, CatmullRomKernel, 2.0f, threads);
        return;
    case rfLanczos:
        FilteredStretch(source, destination, LanczosKernel, 3.0f, threads);
        return;
    }
    throw EImageError(ResampleText::UnknownFilter);
}

bool ScaleImage(
    TImageData& image, int32_t newWidth, int32_t newHeight, TResizeFilter filter, unsigned threads)
{
    if (newWidth <= 0 || newHeight <= 0)
        throw EImageError(ResampleText::BadNewSize);
    if (!IsValidImage(image) || (newWidth == image.Width && newHeight == image.Height))
        return false;
    TImageData resized;
    try {
        AllocImage(newWidth, newHeight, image.Format, resized);
        StretchImage(image, resized, filter, threads);
    } catch (const std::bad_alloc&) {
        ReleaseImage(resized);
        throw EImageError(ResampleText::OutOfMemory);
    } catch (...) {
        ReleaseImage(resized);
        throw;
    }
    std::free(image.Bits);
    std::free(resized.Palette);
    resized.Palette = image.Palette;
    image = resized;
    return true;
}
