// The inner loops of the filtered resampler as a table of functions, one table per instruction
// set (plain x86-64 and AVX2), chosen once at run time. Every table gives the same bytes: each
// output value goes through the same IEEE operations in the same order whatever the set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "resample/Resampler.h"

/// The column table laid out for the horizontal pass: every cluster padded to the same number
/// of taps with zero weights. Adding a zero product changes an accumulator at most in the sign
/// of a zero, which the conversion back to samples maps to 0 either way.
struct TColumnTable {
    int32_t Taps = 0;
    /// Per destination pixel and tap: the first float of the tap's pixel in the line.
    std::vector<ptrdiff_t> Offset;
    /// Per destination pixel and tap: its weight (0 for padding).
    std::vector<float> Weight;
    /// The weights again, by pairs of destination pixels (2p, 2p + 1): for each tap k the two
    /// weights side by side, at 2 × (p × Taps + k). A last pixel without a partner is left out.
    std::vector<float> PairWeight;
    /// Per destination pixel: its taps are the line pixels First, First + 1, ... (true away
    /// from the edges), so the offsets need not be read.
    std::vector<uint8_t> Consecutive;
    std::vector<int32_t> First;
};

/// Lays out a column table (BuildClusters of the destination width) for the horizontal pass;
/// low is the lowest source column of the table (ClusterRange), line pixel 0.
TColumnTable FlattenColumns(const TMappingTable& table, int32_t low);

/// The row table flattened: the source rows and weights of each destination row, so that a
/// row's taps go to the vertical loop as two arrays.
struct TRowTaps {
    /// First tap of each destination row, and one more entry for the end of the last.
    std::vector<size_t> Start;
    std::vector<int32_t> Pos;
    std::vector<float> Weight;
};

/// Lays out a row table (BuildClusters of the destination height) for the vertical pass.
TRowTaps FlattenRows(const TMappingTable& rows);

/// The floats of one line pixel: three channels. The line carries one float of padding after
/// its last pixel, so that a pixel can be read as four floats.
inline constexpr int32_t kLineChannels = 3;

/// One instruction set's inner loops. Counts are in samples (floats), not pixels; no buffer
/// may overlap another; every function may run on several threads at once.
struct TResampleKernels {
    /// The vertical pass of one row: line[i] = 0 + v(rows[0][i]) × weights[0] + v(rows[1][i])
    /// × weights[1] + ..., left to right, every product and sum rounded to float, where v(s) is
    /// s × (1 / 255) rounded to float (SampleToFloat).
    void (*Vertical8)(
        const uint8_t* const* rows, const float* weights, size_t taps, size_t count, float* line);
    /// As Vertical8 for 16-bit samples, v(s) = s × (1 / 65535) rounded to float.
    void (*Vertical16)(
        const uint16_t* const* rows, const float* weights, size_t taps, size_t count, float* line);
    /// The horizontal pass of one row: for each destination pixel x < width, its three channels
    /// 0 + line pixel × weight + ... over the pixel's taps in order, to out[3x], out[3x + 1],
    /// out[3x + 2]. line holds one float of padding after its last pixel, out one float after
    /// width × 3.
    void (*Horizontal)(const float* line, const TColumnTable& columns, int32_t width, float* out);
    /// out[i] = clamp(round-half-even(in[i] × 255)): SetPixelFP of one row.
    void (*StoreRow8)(const float* in, size_t count, uint8_t* out);
    /// out[i] = clamp(round-half-even(in[i] × 65535)).
    void (*StoreRow16)(const float* in, size_t count, uint16_t* out);
};

/// The vertical loop of a table for the sample type of the rows.
inline void RunVertical(const TResampleKernels& k, const uint8_t* const* rows, const float* weights,
    size_t taps, size_t count, float* line)
{
    k.Vertical8(rows, weights, taps, count, line);
}
inline void RunVertical(const TResampleKernels& k, const uint16_t* const* rows,
    const float* weights, size_t taps, size_t count, float* line)
{
    k.Vertical16(rows, weights, taps, count, line);
}
/// The conversion back to samples of a table for the sample type of the row.
inline void RunStoreRow(const TResampleKernels& k, const float* in, size_t count, uint8_t* out)
{
    k.StoreRow8(in, count, out);
}
inline void RunStoreRow(const TResampleKernels& k, const float* in, size_t count, uint16_t* out)
{
    k.StoreRow16(in, count, out);
}

/// Instruction sets the resampler has inner loops for.
enum class TResampleIsa {
    Generic, ///< plain x86-64 (what the compiler makes of portable code)
    Avx2, ///< AVX2 intrinsics, without fused multiply-add
};

/// The best set this processor and system can run.
TResampleIsa DetectedResampleIsa();
/// The set every resize started from now on uses; DetectedResampleIsa until changed.
TResampleIsa SelectedResampleIsa();
/// Chooses the set for the whole process, for tests and benchmarks that compare the sets.
/// False (and nothing changed) when this processor cannot run it. Call it while no resize runs.
[[nodiscard]] bool SelectResampleIsa(TResampleIsa isa);
/// The loops of the selected set. A resize fetches them once and keeps them to its end.
const TResampleKernels& SelectedKernels();
/// The loops of one set, whether or not the processor can run them.
const TResampleKernels& KernelsFor(TResampleIsa isa);

/// The AVX2 table; defined in its own file, built with AVX2 enabled per function.
const TResampleKernels& Avx2Kernels();
/// The plain table.
const TResampleKernels& GenericKernels();
