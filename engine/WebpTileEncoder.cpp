// Lossy WebP tiles through libwebp. The codec takes whole pictures only, so the rows of a tile
// are gathered first and encoded when the last one has arrived.
#include <cstring>
#include <vector>
#include <webp/encode.h>

#include "engine/TileEncoder.h"

namespace {

class TWebpTileEncoder final : public TTileEncoder {
public:
    explicit TWebpTileEncoder(int quality)
        : FQuality(quality)
    {
    }

    bool Begin(uint32_t width, uint32_t height, uint8_t channels) override
    {
        FPixels.clear();
        FRows = 0;
        if ((channels != 3 && channels != 4) || width == 0 || height == 0
            || width > WEBP_MAX_DIMENSION || height > WEBP_MAX_DIMENSION) {
            FHeight = 0;
            return false;
        }
        FWidth = width;
        FHeight = height;
        FChannels = channels;
        FPixels.resize(size_t(width) * height * channels);
        return true;
    }

    bool AddRow(const uint8_t* row) override
    {
        if (FRows >= FHeight) {
            return false;
        }
        const size_t stride = size_t(FWidth) * FChannels;
        std::memcpy(FPixels.data() + FRows * stride, row, stride);
        ++FRows;
        return true;
    }

    bool Finish(std::vector<uint8_t>& bytes) override
    {
        if (FHeight == 0 || FRows != FHeight) {
            return false;
        }
        FHeight = 0;
        uint8_t* output = nullptr;
        const auto width = static_cast<int>(FWidth);
        const auto height = static_cast<int>(FRows);
        const auto quality = static_cast<float>(FQuality);
        const int stride = width * FChannels;
        const size_t size = FChannels == 4
            ? WebPEncodeRGBA(FPixels.data(), width, height, stride, quality, &output)
            : WebPEncodeRGB(FPixels.data(), width, height, stride, quality, &output);
        if (size == 0 || output == nullptr) {
            WebPFree(output);
            return false;
        }
        bytes.assign(output, output + size);
        WebPFree(output);
        return true;
    }

private:
    std::vector<uint8_t> FPixels;
    uint32_t FWidth = 0;
    uint32_t FHeight = 0; ///< 0 while no tile is in progress
    size_t FRows = 0;
    uint8_t FChannels = 3;
    int FQuality;
};

} // namespace

std::unique_ptr<TTileEncoder> MakeWebpTileEncoder(int quality)
{
    return std::make_unique<TWebpTileEncoder>(quality);
}
