// TIFF output fixtures: native lines, noise images and writes through the strip writer.
#include "support/TiffOutputFixtures.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <tiffio.h>

#include "engine/TavmorManager.h"
#include "engine/TiffStripWriter.h"

namespace TestImages {

std::vector<uint8_t> NativeLine(const TPixels& image, uint32_t y)
{
    const size_t count = size_t(image.Width) * image.Channels;
    std::vector<uint8_t> line(count * (image.Bits / 8u));
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = image.Samples[size_t(y) * count + i];
        if (image.Bits == 8) {
            line[i] = uint8_t(v);
        } else {
            const auto s = uint16_t(v);
            std::memcpy(line.data() + i * 2, &s, 2);
        }
    }
    return line;
}

TPixels NoiseImage(uint32_t width, uint32_t height, uint8_t bits, uint8_t channels)
{
    TPixels image { width, height, bits, channels, {} };
    const size_t count = size_t(width) * height * channels;
    image.Samples.resize(count);
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        image.Samples[i] = uint32_t(state >> 24) & (bits == 8 ? 0xFFu : 0xFFFFu);
    }
    return image;
}

bool WriteWithStripWriter(const std::string& path, const TPixels& image, const TStripWrite& write)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    TTiffStripWriter writer;
    writer.FailStripForTests(write.FailStrip);
    writer.SetBatchBytesForTests(write.BatchBytes);
    const TTiffOutputImage shape { image.Width, image.Height, image.Bits, image.Channels };
    bool ok = writer.Open(fd, path, shape, write.Options, write.BigTiff, write.Metadata);
    const uint32_t lines = std::min(write.Lines, image.Height);
    for (uint32_t y = 0; ok && y < lines; ++y) {
        ok = writer.WriteLine(NativeLine(image, y).data());
    }
    ok = writer.Close() && ok;
    ::close(fd);
    return ok;
}

bool OpensAsTiff(const std::string& path)
{
    SilenceTiffLibrary();
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) {
        return false;
    }
    TIFFClose(tif);
    return true;
}

} // namespace TestImages
