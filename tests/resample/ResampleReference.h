// The filtered resampler as an independent model, and the kernels and noise that the
// resampling tests share.
#pragma once

#include <vector>

#include "ResampleFixtures.h"
#include "resample/Resampler.h"

// The filtered resampler exactly as described: one pixel at a time through the format table's
// GetPixelFP and SetPixelFP and a line of four-channel floats. The library's vectorised and
// threaded loops must give the same bytes.
inline void ReferenceFilteredStretch(
    const TImageData& source, TImageData& destination, TFilterKernel kernel, float radius)
{
    const TMappingTable columns = BuildClusters(destination.Width, source.Width, kernel, radius);
    const TMappingTable rows = BuildClusters(destination.Height, source.Height, kernel, radius);
    int32_t lowX = 0, highX = 0;
    ClusterRange(columns, lowX, highX);
    const TImageFormatInfo* info = GetFormatInfo(source.Format);
    const int32_t bpp = info->BytesPerPixel;
    std::vector<TColorFPRec> line(size_t(highX - lowX + 1));
    auto add = [](TColorFPRec& acc, const TColorFPRec& c, float w) {
        acc.B = acc.B + c.B * w;
        acc.G = acc.G + c.G * w;
        acc.R = acc.R + c.R * w;
        acc.A = acc.A + c.A * w;
    };
    for (int32_t y = 0; y < destination.Height; ++y) {
        for (int32_t x = lowX; x <= highX; ++x) {
            TColorFPRec acc {};
            for (const TPointRec& p : rows[size_t(y)])
                add(acc, info->GetPixelFP(source.Bits + (int64_t(p.Pos) * source.Width + x) * bpp),
                    p.Weight);
            line[size_t(x - lowX)] = acc;
        }
        for (int32_t x = 0; x < destination.Width; ++x) {
            TColorFPRec acc {};
            for (const TPointRec& p : columns[size_t(x)])
                add(acc, line[size_t(p.Pos - lowX)], p.Weight);
            info->SetPixelFP(destination.Bits + (int64_t(y) * destination.Width + x) * bpp, acc);
        }
    }
}

inline TFilterKernel KernelOf(TResizeFilter f)
{
    return f == rfBilinear ? LinearKernel : f == rfBicubic ? CatmullRomKernel : LanczosKernel;
}
inline float RadiusOf(TResizeFilter f)
{
    return f == rfBilinear ? 1.0f : f == rfBicubic ? 2.0f : 3.0f;
}

inline void FillNoise(TOwnedImage& image)
{
    const bool sixteen = image.Image.Format == R16G16B16;
    FillImage(
        image, [&](int32_t x, int32_t y, int32_t c) { return NoiseSample(x, y, c, sixteen); });
}
