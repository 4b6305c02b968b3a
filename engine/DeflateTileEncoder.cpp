// Deflate tiles for TIFF (Compression 8 with Predictor 2): each row is replaced by the
// differences of every sample from the same sample of the pixel on its left, then the rows go
// through one zlib stream, as libtiff's own codec writes them. Lossless.
#include <vector>
#include <zlib.h>

#include "engine/TileEncoder.h"

namespace {

// Output grows by this much whenever zlib fills what it has.
constexpr size_t kOutputStep = 65536;
constexpr int kWindowBits = 13;
constexpr int kMemLevel = 7;

class TDeflateTileEncoder final : public TTileEncoder {
public:
    TDeflateTileEncoder() = default;
    ~TDeflateTileEncoder() override { Abandon(); }
    TDeflateTileEncoder(const TDeflateTileEncoder&) = delete;
    TDeflateTileEncoder& operator=(const TDeflateTileEncoder&) = delete;

    bool Begin(uint32_t width, uint32_t height, uint8_t channels) override
    {
        Abandon();
        if ((channels != 3 && channels != 4) || width == 0 || height == 0) {
            return false;
        }
        FStream = z_stream {};
        // One stream per tile column lives while its tile row is read: a window of 8 KiB and a
        // smaller hash keep it near 100 KiB instead of 270.
        if (deflateInit2(&FStream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits, kMemLevel,
                Z_DEFAULT_STRATEGY)
            != Z_OK) {
            return false;
        }
        FOpen = true;
        FChannels = channels;
        FRowBytes = size_t(width) * channels;
        FRowsLeft = height;
        FDifferences.resize(FRowBytes);
        FBytes.clear();
        FUsed = 0;
        return true;
    }

    bool AddRow(const uint8_t* row) override
    {
        if (!FOpen || FRowsLeft == 0) {
            Abandon();
            return false;
        }
        // Predictor 2: modulo-256 differences along the row, sample by sample.
        for (size_t i = 0; i < FChannels; ++i) {
            FDifferences[i] = row[i];
        }
        for (size_t i = FChannels; i < FRowBytes; ++i) {
            FDifferences[i] = static_cast<uint8_t>(row[i] - row[i - FChannels]);
        }
        --FRowsLeft;
        return Deflate(FDifferences.data(), FRowBytes, Z_NO_FLUSH);
    }

    bool Finish(std::vector<uint8_t>& bytes) override
    {
        if (!FOpen || FRowsLeft != 0 || !Deflate(nullptr, 0, Z_FINISH)) {
            Abandon();
            return false;
        }
        Abandon();
        FBytes.resize(FUsed);
        bytes.swap(FBytes);
        FBytes.clear();
        return true;
    }

private:
    bool Deflate(const uint8_t* data, size_t size, int flush)
    {
        FStream.next_in = const_cast<Bytef*>(data);
        FStream.avail_in = static_cast<uInt>(size);
        for (;;) {
            if (FUsed == FBytes.size()) {
                FBytes.resize(FBytes.size() + kOutputStep);
            }
            FStream.next_out = FBytes.data() + FUsed;
            FStream.avail_out = static_cast<uInt>(FBytes.size() - FUsed);
            const int result = deflate(&FStream, flush);
            FUsed = FBytes.size() - FStream.avail_out;
            if (result == Z_STREAM_END) {
                return true;
            }
            if (result != Z_OK && result != Z_BUF_ERROR) {
                return false;
            }
            if (result == Z_BUF_ERROR && FStream.avail_out != 0 && FStream.avail_in == 0
                && flush == Z_FINISH) {
                return false; // no progress possible: the stream is broken
            }
            if (FStream.avail_in == 0 && FStream.avail_out != 0 && flush == Z_NO_FLUSH) {
                return true;
            }
        }
    }

    void Abandon()
    {
        if (FOpen) {
            deflateEnd(&FStream);
            FOpen = false;
        }
    }

    z_stream FStream {};
    bool FOpen = false;
    uint8_t FChannels = 3;
    size_t FRowBytes = 0;
    uint32_t FRowsLeft = 0;
    std::vector<uint8_t> FDifferences;
    std::vector<uint8_t> FBytes;
    size_t FUsed = 0;
};

} // namespace

std::unique_ptr<TTileEncoder> MakeDeflateTileEncoder()
{
    return std::make_unique<TDeflateTileEncoder>();
}
