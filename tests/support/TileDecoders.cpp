// Tile decoders over libjpeg, libpng, libwebp and zlib, for checking what the encoders wrote.
#include "support/TileDecoders.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>
#include <zlib.h>

namespace TestImages {

namespace {

struct TJpegErrors {
    jpeg_error_mgr Manager {};
    std::jmp_buf Jump {};
};

void JumpOut(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegErrors*>(info->err)->Jump, 1);
}

void Quiet(j_common_ptr, int) { }

} // namespace

std::optional<TTile> DecodeJpeg(const std::vector<uint8_t>& bytes)
{
    jpeg_decompress_struct info {};
    TJpegErrors errors;
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = JumpOut;
    errors.Manager.emit_message = Quiet;
    TTile tile;
    if (setjmp(errors.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    tile.Width = info.output_width;
    tile.Height = info.output_height;
    tile.Samples.resize(size_t(tile.Width) * tile.Height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = tile.Samples.data() + size_t(info.output_scanline) * tile.Width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return tile;
}

std::optional<TTile> DecodePng(const std::vector<uint8_t>& bytes)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return std::nullopt;
    }
    TTile tile;
    tile.Channels = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0 ? 4 : 3;
    image.format = tile.Channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    tile.Width = image.width;
    tile.Height = image.height;
    tile.Samples.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, tile.Samples.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return tile;
}

std::optional<TTile> DecodeWebp(const std::vector<uint8_t>& bytes)
{
    WebPBitstreamFeatures features {};
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK) {
        return std::nullopt;
    }
    TTile tile;
    tile.Channels = features.has_alpha ? 4 : 3;
    int width = 0;
    int height = 0;
    uint8_t* pixels = features.has_alpha
        ? WebPDecodeRGBA(bytes.data(), bytes.size(), &width, &height)
        : WebPDecodeRGB(bytes.data(), bytes.size(), &width, &height);
    if (!pixels) {
        return std::nullopt;
    }
    tile.Width = static_cast<uint32_t>(width);
    tile.Height = static_cast<uint32_t>(height);
    tile.Samples.assign(pixels, pixels + size_t(width) * height * tile.Channels);
    WebPFree(pixels);
    return tile;
}

std::optional<TTile> DecodeDeflateTile(
    const std::vector<uint8_t>& bytes, uint32_t width, uint32_t height, uint8_t channels)
{
    TTile tile;
    tile.Width = width;
    tile.Height = height;
    tile.Channels = channels;
    tile.Samples.resize(size_t(width) * height * channels);
    uLongf size = static_cast<uLongf>(tile.Samples.size());
    if (uncompress(tile.Samples.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()))
            != Z_OK
        || size != tile.Samples.size()) {
        return std::nullopt;
    }
    const size_t stride = size_t(width) * channels;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = tile.Samples.data() + y * stride;
        for (size_t i = channels; i < stride; ++i) {
            row[i] = static_cast<uint8_t>(row[i] + row[i - channels]);
        }
    }
    return tile;
}

} // namespace TestImages
