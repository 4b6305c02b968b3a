// PNG tiles through libpng, written a row at a time into a byte vector.
#include <csetjmp>
#include <png.h>
#include <vector>

#include "engine/TileEncoder.h"

namespace {

constexpr int kWindowBits = 13;
constexpr int kMemLevel = 7;

void AppendBytes(png_structp png, png_bytep data, size_t length)
{
    auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

void FlushNothing(png_structp) { }

void JumpOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void DiscardWarning(png_structp, png_const_charp) { }

class TPngTileEncoder final : public TTileEncoder {
public:
    TPngTileEncoder() = default;
    ~TPngTileEncoder() override { Abandon(); }
    TPngTileEncoder(const TPngTileEncoder&) = delete;
    TPngTileEncoder& operator=(const TPngTileEncoder&) = delete;

    bool Begin(uint32_t width, uint32_t height, uint8_t channels) override
    {
        Abandon();
        if ((channels != 3 && channels != 4) || width == 0 || height == 0) {
            return false;
        }
        // libpng keeps no state between images: one write structure per tile.
        FPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, DiscardWarning);
        if (!FPng) {
            return false;
        }
        FInfo = png_create_info_struct(FPng);
        if (!FInfo || setjmp(png_jmpbuf(FPng)) != 0) {
            Abandon();
            return false;
        }
        FBytes.clear();
        png_set_write_fn(FPng, &FBytes, AppendBytes, FlushNothing);
        png_set_IHDR(FPng, FInfo, width, height, 8,
            channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
            PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // A tile's zlib stream lives while its tile row is read, one per tile column: a window
        // of 8 KiB (over 10 rows of a 256-pixel tile) and a smaller hash keep it near 100 KiB
        // instead of 270.
        png_set_compression_window_bits(FPng, kWindowBits);
        png_set_compression_mem_level(FPng, kMemLevel);
        png_write_info(FPng, FInfo);
        FRowsLeft = height;
        return true;
    }

    bool AddRow(const uint8_t* row) override
    {
        if (!FPng || FRowsLeft == 0 || setjmp(png_jmpbuf(FPng)) != 0) {
            Abandon();
            return false;
        }
        png_write_row(FPng, row);
        --FRowsLeft;
        return true;
    }

    bool Finish(std::vector<uint8_t>& bytes) override
    {
        if (!FPng || FRowsLeft != 0 || setjmp(png_jmpbuf(FPng)) != 0) {
            Abandon();
            return false;
        }
        png_write_end(FPng, FInfo);
        Abandon();
        bytes.swap(FBytes);
        FBytes.clear();
        return true;
    }

private:
    void Abandon()
    {
        if (FPng) {
            png_destroy_write_struct(&FPng, FInfo ? &FInfo : nullptr);
        }
        FPng = nullptr;
        FInfo = nullptr;
    }

    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
    std::vector<uint8_t> FBytes;
    uint32_t FRowsLeft = 0;
};

} // namespace

std::unique_ptr<TTileEncoder> MakePngTileEncoder()
{
    return std::make_unique<TPngTileEncoder>();
}
