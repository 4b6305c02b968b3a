// The plain x86-64 inner loops of the filtered resampler, the column-table layout and the run-time
// choice between instruction sets.
#include "resample/ResampleKernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "resample/PixelMath.h"

namespace {

typedef float TFloat4 __attribute__((vector_size(16)));

// Four taps per sweep keep the line in registers longer; the order of the additions per
// sample is the taps' order all the same.
template <typename TSample>
void VerticalOf(
    const TSample* const* rows, const float* weights, size_t taps, size_t count, float* line)
{
    std::fill(line, line + count, 0.0f);
    size_t k = 0;
    for (; k + 4 <= taps; k += 4) {
        const TSample* r0 = rows[k];
        const TSample* r1 = rows[k + 1];
        const TSample* r2 = rows[k + 2];
        const TSample* r3 = rows[k + 3];
        const float w0 = weights[k], w1 = weights[k + 1];
        const float w2 = weights[k + 2], w3 = weights[k + 3];
        for (size_t i = 0; i < count; ++i) {
            float acc = line[i];
            acc = acc + SampleToFloat(r0[i]) * w0;
            acc = acc + SampleToFloat(r1[i]) * w1;
            acc = acc + SampleToFloat(r2[i]) * w2;
            acc = acc + SampleToFloat(r3[i]) * w3;
            line[i] = acc;
        }
    }
    for (; k < taps; ++k) {
        const TSample* r = rows[k];
        const float w = weights[k];
        for (size_t i = 0; i < count; ++i)
            line[i] = line[i] + SampleToFloat(r[i]) * w;
    }
}

// The three channels of a line pixel and the next float in the fourth lane, whose sums are
// never used.
inline TFloat4 LoadPixel(const float* p)
{
    TFloat4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Writes the fourth lane too; the next pixel's store (or the padding) takes it over.
inline void StorePixel(TFloat4 v, float* p)
{
    std::memcpy(p, &v, sizeof v);
}

// Four destination pixels at a time: their sums are independent, so the additions of one
// pixel need not wait for each other's latency. Each pixel still adds its taps in order.
void HorizontalGeneric(const float* line, const TColumnTable& columns, int32_t width, float* out)
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
            const float* l0 = line + ptrdiff_t(columns.First[size_t(x)]) * kLineChannels;
            const float* l1 = line + ptrdiff_t(columns.First[size_t(x) + 1]) * kLineChannels;
            const float* l2 = line + ptrdiff_t(columns.First[size_t(x) + 2]) * kLineChannels;
            const float* l3 = line + ptrdiff_t(columns.First[size_t(x) + 3]) * kLineChannels;
            for (size_t k = 0; k < taps; ++k) {
                a0 = a0 + LoadPixel(l0 + k * kLineChannels) * w0[k];
                a1 = a1 + LoadPixel(l1 + k * kLineChannels) * w0[taps + k];
                a2 = a2 + LoadPixel(l2 + k * kLineChannels) * w0[2 * taps + k];
                a3 = a3 + LoadPixel(l3 + k * kLineChannels) * w0[3 * taps + k];
            }
        } else {
            for (size_t k = 0; k < taps; ++k) {
                a0 = a0 + LoadPixel(line + i0[k]) * w0[k];
                a1 = a1 + LoadPixel(line + i0[taps + k]) * w0[taps + k];
                a2 = a2 + LoadPixel(line + i0[2 * taps + k]) * w0[2 * taps + k];
                a3 = a3 + LoadPixel(line + i0[3 * taps + k]) * w0[3 * taps + k];
            }
        }
        float* o = out + ptrdiff_t(x) * kLineChannels;
        StorePixel(a0, o);
        StorePixel(a1, o + kLineChannels);
        StorePixel(a2, o + 2 * kLineChannels);
        StorePixel(a3, o + 3 * kLineChannels);
    }
    for (; x < width; ++x) {
        const ptrdiff_t* i0 = offset + size_t(x) * taps;
        const float* w0 = weight + size_t(x) * taps;
        TFloat4 acc = {};
        for (size_t k = 0; k < taps; ++k)
            acc = acc + LoadPixel(line + i0[k]) * w0[k];
        StorePixel(acc, out + ptrdiff_t(x) * kLineChannels);
    }
}

template <typename TSample> void StoreRowOf(const float* in, size_t count, TSample* out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = FloatToSample<TSample>(in[i]);
}

constexpr TResampleKernels kGeneric = {
    VerticalOf<uint8_t>,
    VerticalOf<uint16_t>,
    HorizontalGeneric,
    StoreRowOf<uint8_t>,
    StoreRowOf<uint16_t>,
};

bool CanRun(TResampleIsa isa)
{
    switch (isa) {
    case TResampleIsa::Generic:
        return true;
    case TResampleIsa::Avx2:
#if defined(__x86_64__) && defined(__GNUC__)
        // libgcc also asks the system whether it saves the AVX registers (XGETBV).
        return __builtin_cpu_supports("avx2");
#else
        return false;
#endif
    }
    return false;
}

std::atomic<TResampleIsa>& Selected()
{
    static std::atomic<TResampleIsa> selected { DetectedResampleIsa() };
    return selected;
}

} // namespace

TColumnTable FlattenColumns(const TMappingTable& table, int32_t low)
{
    TColumnTable flat;
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
            flat.Offset[at] = ptrdiff_t((real ? c[size_t(k)].Pos : c.front().Pos) - low)
                * ptrdiff_t(kLineChannels);
            flat.Weight[at] = real ? c[size_t(k)].Weight : 0.0f;
        }
    }
    const size_t taps = size_t(flat.Taps);
    flat.PairWeight.resize(table.size() / 2 * 2 * taps);
    for (size_t p = 0; p < table.size() / 2; ++p)
        for (size_t k = 0; k < taps; ++k) {
            flat.PairWeight[2 * (p * taps + k)] = flat.Weight[2 * p * taps + k];
            flat.PairWeight[2 * (p * taps + k) + 1] = flat.Weight[(2 * p + 1) * taps + k];
        }
    return flat;
}

TRowTaps FlattenRows(const TMappingTable& rows)
{
    TRowTaps taps;
    taps.Start.reserve(rows.size() + 1);
    for (const TCluster& c : rows) {
        taps.Start.push_back(taps.Pos.size());
        for (const TPointRec& p : c) {
            taps.Pos.push_back(p.Pos);
            taps.Weight.push_back(p.Weight);
        }
    }
    taps.Start.push_back(taps.Pos.size());
    return taps;
}

const TResampleKernels& GenericKernels()
{
    return kGeneric;
}

TResampleIsa DetectedResampleIsa()
{
    return CanRun(TResampleIsa::Avx2) ? TResampleIsa::Avx2 : TResampleIsa::Generic;
}

TResampleIsa SelectedResampleIsa()
{
    return Selected().load(std::memory_order_acquire);
}

bool SelectResampleIsa(TResampleIsa isa)
{
    if (!CanRun(isa))
        return false;
    Selected().store(isa, std::memory_order_release);
    return true;
}

const TResampleKernels& KernelsFor(TResampleIsa isa)
{
    return isa == TResampleIsa::Avx2 ? Avx2Kernels() : GenericKernels();
}

const TResampleKernels& SelectedKernels()
{
    return KernelsFor(SelectedResampleIsa());
}
