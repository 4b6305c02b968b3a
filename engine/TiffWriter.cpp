// TIFF line writing through libtiff onto a descriptor its owner keeps: interleaved lines, one
// line per strip, uncompressed or LZW.
#include <memory>

#include "engine/TiffIo.h"

namespace {

/// Writes interleaved RGB lines, one line per strip, uncompressed or LZW.
class TTiffLineWriter final : public TLineWriter {
public:
    ~TTiffLineWriter() override { (void)Finish(); }

    [[nodiscard]] bool Open(int fd, const TFileInfo& info, const TWriteOptions& options) override
    {
        (void)Finish();
        const bool lzw = options.Compression == TCompression::Lzw;
        FTif = OpenTiffWrite(fd, info.FileName, options.ForceBigTiff, FFd);
        if (!FTif) {
            return false;
        }
        FLineSize = info.ScanLineSize;
        const bool ok = TIFFSetField(FTif, TIFFTAG_IMAGEWIDTH, info.Width) == 1
            && TIFFSetField(FTif, TIFFTAG_IMAGELENGTH, info.Height) == 1
            && TIFFSetField(FTif, TIFFTAG_BITSPERSAMPLE, static_cast<unsigned>(info.Bits)) == 1
            && TIFFSetField(FTif, TIFFTAG_SAMPLESPERPIXEL, static_cast<unsigned>(info.Channels))
                == 1
            && TIFFSetField(FTif, TIFFTAG_ROWSPERSTRIP, 1u) == 1
            && TIFFSetField(FTif, TIFFTAG_COMPRESSION,
                   static_cast<unsigned>(lzw ? COMPRESSION_LZW : COMPRESSION_NONE))
                == 1
            && TIFFSetField(FTif, TIFFTAG_PLANARCONFIG, static_cast<unsigned>(PLANARCONFIG_CONTIG))
                == 1
            && TIFFSetField(FTif, TIFFTAG_PHOTOMETRIC, static_cast<unsigned>(PHOTOMETRIC_RGB)) == 1
            && TIFFSetField(FTif, TIFFTAG_XRESOLUTION, 240.0) == 1
            && TIFFSetField(FTif, TIFFTAG_YRESOLUTION, 240.0) == 1
            && TIFFSetField(FTif, TIFFTAG_RESOLUTIONUNIT, static_cast<unsigned>(RESUNIT_INCH)) == 1;
        if (!ok) {
            (void)Finish();
            return false;
        }
        return true;
    }

    int32_t WriteLine(uint32_t row, const uint8_t* buffer) override
    {
        if (!FTif) {
            return 0;
        }
        // libtiff takes a non-const buffer but does not change it for these compressions.
        if (TIFFWriteScanline(FTif, const_cast<uint8_t*>(buffer), row, 0) != 1) {
            return 0;
        }
        return static_cast<int32_t>(FLineSize);
    }

    [[nodiscard]] bool Finish() override
    {
        if (!FTif) {
            return true;
        }
        // The directory is written here; a failure means the file is unusable.
        const bool flushed = TIFFFlush(FTif) == 1;
        TIFFClose(FTif);
        FTif = nullptr;
        return flushed && !FFd.Failed;
    }

    int Error() const override { return FFd.Error; }

private:
    TIFF* FTif = nullptr;
    TTiffFd FFd;
    uint32_t FLineSize = 0;
};

} // namespace

std::unique_ptr<TLineWriter> MakeTiffWriter()
{
    return std::make_unique<TTiffLineWriter>();
}
