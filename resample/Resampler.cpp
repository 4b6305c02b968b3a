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

// The inner loops are also built for AVX2 and picked at run time. The bytes do not change:
// every lane does the same IEEE operations in the same order as the scalar code, and no fused
// multiply-add is formed (-ffp-contract=off, and AVX2 alone does not enable FMA).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TAVMOR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TAVMOR_VECTOR_CLONES
#endif

typedef float TFloat4 __attribute__((vector_size(16)));

constexpr int32_t kChannels = 3;

// The column table laid out for the horizontal pass: every cluster padded to the same number
// of taps with zero weights. Adding a zero product changes an accumulator at most in the sign
// of a zero, which the conversion back to samples maps to 0 either way.
struct TFlatTable {
    int32_t Taps = 0;
    std::vector<ptrdiff_t> Offset; // first float of each tap's pixel in the line buffer
    std::vector<float> Weight;
    // Per destination pixel: its taps are the line pixels First, First + 1, ... (true away
    // from the edges), so the offsets need not be read.
    std::vector<uint8_t> Consecutive;
    std::vector<int32_t> First;
};

TFlatTable Flatten(const TMappingTable& table, int32_t low)
{
    TFlatTable flat;
    for (const TCluster& c : table)
        flat.Taps = std::max<int32_t>(flat.Taps, int32_t(c.size()));
    flat.Offset.resize(table.size() * size_t(flat.Taps));
    flat.Weight.resize(table.size() * size_t(flat.Taps), 0.0f);
    flat.Consecutive.resize(table.size());
    flat.First.resize(table.size());
    for (size_t x = 0; x < table.size(); ++x) {
        const TCluster& c = table[x];
        bool consecutive = c.size() == size_t(flat.Taps);
        for (size_t k = 1; consecutive && k < c.size(); ++k)
            consecutive = c[k].Pos == c[k - 1].Pos + 1;
        flat.Consecutive[x] = consecutive;
        flat.First[x] = c.front().Pos - low;
        for (int32_t k = 0; k < flat.Taps; ++k) {
            const size_t at = x * size_t(flat.Taps) + size_t(k);
            const bool real = size_t(k) < c.size();
            flat.Offset[at] =
                ptrdiff_t((real ? c[size_t(k)].Pos : c.front().Pos) - low) * ptrdiff_t(kChannels);
            flat.Weight[at] = real ? c[size_t(k)].Weight : 0.0f;
        }
    }
    return flat;
}

// line[i] += sample × (1 / max) × weight for every contributor in order, each step rounded to
// float. Four contributors per sweep keep the line in registers longer; the order of the
// additions per sample is the contributors' order all the same.
template <typename TSample>
TAVMOR_VECTOR_CLONES void VerticalPass(
    const TImageData& source, const TCluster& cluster, int32_t lowX, size_t count, float* line)
{
    const int64_t stride = int64_t(source.Width) * kChannels;
    const TSample* base = reinterpret_cast<const TSample*>(source.Bits) + int64_t(lowX) * kChannels;
    std::fill(line, line + count, 0.0f);
    size_t k = 0;
    for (; k + 4 <= cluster.size(); k += 4) {
        const TSample* s0 = base + cluster[k].Pos * stride;
        const TSample* s1 = base + cluster[k + 1].Pos * stride;
        const TSample* s2 = base + cluster[k + 2].Pos * stride;
        const TSample* s3 = base + cluster[k + 3].Pos * stride;
        const float w0 = cluster[k].Weight, w1 = cluster[k + 1].Weight;
        const float w2 = cluster[k + 2].Weight, w3 = cluster[k + 3].Weight;
        for (size_t i = 0; i < count; ++i) {
            float acc = line[i];
            acc = acc + SampleToFloat(s0[i]) * w0;
            acc = acc + SampleToFloat(s1[i]) * w1;
            acc = acc + SampleToFloat(s2[i]) * w2;
            acc = acc + SampleToFloat(s3[i]) * w3;
            line[i] = acc;
        }
    }
    for (; k < cluster.size(); ++k) {
        const TSample* s = base + cluster[k].Pos * stride;
        const float w = cluster[k].Weight;
        for (size_t i = 0; i < count; ++i)
            line[i] = line[i] + SampleToFloat(s[i]) * w;
    }
}

typedef double TDouble2 __attribute__((vector_size(16)));

// SetPixelFP on the lanes in pairs: clamp(round-half-even(value × max)).
template <typename TSample> inline void StorePixel(TFloat4 acc, TSample* out)
{
    constexpr double kMax = double(std::numeric_limits<TSample>::max());
    const TDouble2 low = ClampRoundHalfEven(TDouble2 { acc[0], acc[1] } * kMax, kMax);
    const TDouble2 high = ClampRoundHalfEven(TDouble2 { acc[2], acc[3] } * kMax, kMax);
    out[0] = TSample(low[0]);
    out[1] = TSample(low[1]);
    out[2] = TSample(high[0]);
}

// The three samples of a line pixel, and the next float in the fourth lane, whose sums are
// never used. The line carries one float of padding after its last pixel for this.
inline TFloat4 LoadPixel(const float* p)
{
    TFloat4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Four destination pixels at a time: their sums are independent, so the additions of one
// pixel need not wait for each other's latency. Each pixel still adds its taps in order.
template <typename TSample>
TAVMOR_VECTOR_CLONES void HorizontalPass(
    const float* line, const TFlatTable& columns, int32_t width, TSample* out)
{
    const size_t taps = size_t(columns.Taps);
    const ptrdiff_t* offset = columns.Offset.data();
    const float* weight = columns.Weight.data();
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const ptrdiff_t* i0 = offset + size_t(x) * taps;
        const float* w0 = weight + size_t(x) * taps;
        TFloat4 a0 = {}, a1 = {}, a2 = {}, a3 = {};
        const uint8_t* consecutive = columns.Consecutive.data() + x;
        if (consecutive[0] & consecutive[1] & consecutive[2] & consecutive[3]) {
            const float* l0 = line + ptrdiff_t(columns.First[size_t(x)]) * kChannels;
            const float* l1 = line + ptrdiff_t(columns.First[size_t(x) + 1]) * kChannels;
            const float* l2 = line + ptrdiff_t(columns.First[size_t(x) + 2]) * kChannels;
            const float* l3 = line + ptrdiff_t(columns.First[size_t(x) + 3]) * kChannels;
            for (size_t k = 0; k < taps; ++k) {
                a0 = a0 + LoadPixel(l0 + k * kChannels) * w0[k];
                a1 = a1 + LoadPixel(l1 + k * kChannels) * w0[taps + k];
                a2 = a2 + LoadPixel(l2 + k * kChannels) * w0[2 * taps + k];
                a3 = a3 + LoadPixel(l3 + k * kChannels) * w0[3 * taps + k];
            }
        } else {
            for (size_t k = 0; k < taps; ++k) {
                a0 = a0 + LoadPixel(line + i0[k]) * w0[k];
                a1 = a1 + LoadPixel(line + i0[taps + k]) * w0[taps + k];
                a2 = a2 + LoadPixel(line + i0[2 * taps + k]) * w0[2 * taps + k];
                a3 = a3 + LoadPixel(line + i0[3 * taps + k]) * w0[3 * taps + k];
            }
        }
        StorePixel(a0, out + int64_t(x) * kChannels);
        StorePixel(a1, out + int64_t(x + 1) * kChannels);
        StorePixel(a2, out + int64_t(x + 2) * kChannels);
        StorePixel(a3, out + int64_t(x + 3) * kChannels);
    }
    for (; x < width; ++x) {
        const ptrdiff_t* i0 = offset + size_t(x) * taps;
        const float* w0 = weight + size_t(x) * taps;
        TFloat4 acc = {};
        for (size_t k = 0; k < taps; ++k)
            acc = acc + LoadPixel(line + i0[k]) * w0[k];
        StorePixel(acc, out + int64_t(x) * kChannels);
    }
}

template <typename TSample>
void FilteredRows(const TImageData& source, TImageData& destination, const TMappingTable& rows,
    const TFlatTable& columns, int32_t lowX, int32_t highX, unsigned threads)
{
    const size_t used = size_t(highX - lowX + 1);
    ParallelRows(destination.Height, threads,
        [&, line = std::vector<float>()](int32_t y0, int32_t y1) mutable {
            // One float of padding for the fourth lane of the last pixel (LoadPixel).
            line.resize(used * kChannels + 1, 0.0f);
            for (int32_t y = y0; y < y1; ++y) {
                VerticalPass<TSample>(source, rows[size_t(y)], lowX, used * kChannels, line.data());
                TSample* out = reinterpret_cast<TSample*>(destination.Bits)
                    + int64_t(y) * destination.Width * kChannels;
                HorizontalPass<TSample>(line.data(), columns, destination.Width, out);
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
    const TFlatTable flat = Flatten(columns, lowX);
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
