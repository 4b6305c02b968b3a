// Resizing an in-memory image: a fixed-point nearest-neighbour stretch and a separable filtered
// resampler (linear, Catmull-Rom, Lanczos) with float weights and clamped edges.
#pragma once

#include <cstdint>
#include <vector>

#include "resample/ImageData.h"

/// The filter choice of ScaleImage.
enum TResizeFilter : int32_t {
    rfNearest = 0, ///< NearestStretch
    rfBilinear = 1, ///< FilteredStretch with LinearKernel, radius 1
    rfBicubic = 2, ///< FilteredStretch with CatmullRomKernel, radius 2
    rfLanczos = 3, ///< FilteredStretch with LanczosKernel, radius 3
};

/// A kernel: weight of a source sample at distance x (in destination-scaled units).
using TFilterKernel = float (*)(float x);

/// One contributor: a source index and its weight.
struct TPointRec {
    int32_t Pos;
    float Weight;
};
/// The contributors of one destination column (or row), in ascending source order.
using TCluster = std::vector<TPointRec>;
/// One cluster per destination column (or row), in destination order.
using TMappingTable = std::vector<TCluster>;

/// sin(p) / p with p = π × t rounded to float; 1 at 0.
float Sinc(float t);
/// 1 − |x| inside 1, else 0.
float LinearKernel(float x);
/// Catmull-Rom cubic inside 2, else 0.
float CatmullRomKernel(float x);
/// Three-lobe Lanczos: Sinc(|x|) × Sinc(|x| / 3) inside 3, else 0.
float LanczosKernel(float x);

/// The contributor lists of one axis: for each of destinationCount indices, the weighted source
/// indices (clamped to 0..sourceCount − 1) whose weights add up to 1, the whole correction on
/// the middle contributor. Empty when either count is 0.
TMappingTable BuildClusters(
    int32_t destinationCount, int32_t sourceCount, TFilterKernel kernel, float radius);
/// Lowest and highest Pos over every contributor of the table (0, −1 when it has none).
void ClusterRange(const TMappingTable& table, int32_t& low, int32_t& high);

/// Copies every destination pixel from the source pixel at (x × step) >> 16, (y × step) >> 16
/// in 16.16 fixed point, without half-pixel offset. Both images share one format and are valid.
/// threads: 0 for every core; the result does not depend on it.
void NearestStretch(const TImageData& source, TImageData& destination, unsigned threads = 0);
/// Separable resampling, vertical pass then horizontal through one float line per destination
/// row. Both images share one format and are valid; threads as for NearestStretch.
void FilteredStretch(const TImageData& source, TImageData& destination, TFilterKernel kernel,
    float radius, unsigned threads = 0);
/// Runs NearestStretch for rfNearest, otherwise FilteredStretch with the filter's kernel.
void StretchImage(
    const TImageData& source, TImageData& destination, TResizeFilter filter, unsigned threads = 0);

/// Resizes the image in place to newWidth × newHeight. Returns false (image untouched) when the
/// image is invalid or already has that size, true when it was replaced by the resized one.
/// Throws EImageError when a new side is not positive or memory runs out; the image then
/// still holds its original pixels. threads: 0 for every core; the bytes do not depend on it.
bool ScaleImage(TImageData& image, int32_t newWidth, int32_t newHeight, TResizeFilter filter,
    unsigned threads = 0);
