// Small generated images and a scratch folder shared by the resampling tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "resample/ImageData.h"

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TScratchDir {
public:
    TScratchDir()
    {
        static int counter = 0;
        FPath = std::filesystem::temp_directory_path()
            / ("tavmor-resample-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    ~TScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    /// Full path of a file in the folder.
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    /// Names of the files in the folder, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(FPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path FPath;
};

/// Owns a TImageData for the length of a test.
struct TOwnedImage {
    TImageData Image;
    TOwnedImage() = default;
    TOwnedImage(int32_t width, int32_t height, TImageFormat format)
    {
        AllocImage(width, height, format, Image);
    }
    ~TOwnedImage() { ReleaseImage(Image); }
    TOwnedImage(const TOwnedImage&) = delete;
    TOwnedImage& operator=(const TOwnedImage&) = delete;

    int32_t SampleBytes() const { return Image.Format == R16G16B16 ? 2 : 1; }
    /// Sample c of pixel (x, y).
    uint32_t At(int32_t x, int32_t y, int32_t c) const
    {
        const int64_t i = (int64_t(y) * Image.Width + x) * 3 + c;
        if (SampleBytes() == 1)
            return Image.Bits[i];
        return uint32_t(Image.Bits[2 * i]) | uint32_t(Image.Bits[2 * i + 1]) << 8;
    }
    void Set(int32_t x, int32_t y, int32_t c, uint32_t v)
    {
        const int64_t i = (int64_t(y) * Image.Width + x) * 3 + c;
        if (SampleBytes() == 1) {
            Image.Bits[i] = uint8_t(v);
        } else {
            Image.Bits[2 * i] = uint8_t(v);
            Image.Bits[2 * i + 1] = uint8_t(v >> 8);
        }
    }
    std::vector<uint8_t> Bytes() const
    {
        return std::vector<uint8_t>(Image.Bits, Image.Bits + Image.Size);
    }
};

/// Fills every sample from f(x, y, c).
template <typename F> void FillImage(TOwnedImage& image, F f)
{
    for (int32_t y = 0; y < image.Image.Height; ++y)
        for (int32_t x = 0; x < image.Image.Width; ++x)
            for (int32_t c = 0; c < 3; ++c)
                image.Set(x, y, c, f(x, y, c));
}

/// A deterministic pseudo-random sample pattern (neighbours differ), scaled to the depth.
inline uint32_t NoiseSample(int32_t x, int32_t y, int32_t c, bool sixteen)
{
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(c) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return sixteen ? h & 0xFFFF : h & 0xFF;
}

/// Writes bytes to a file, replacing it.
inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

/// The whole content of a file.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}
