// The TIFF output on a descriptor: tags, metadata, parallel strip encoding, raw strip writes.
#include "engine/TiffStripWriter.h"

#include <algorithm>
#include <cerrno>

#include <tiffio.h>

#include "engine/TiffIo.h"

TTiffStripWriter::TTiffStripWriter() = default;

TTiffStripWriter::~TTiffStripWriter()
{
    Abandon();
}

bool TTiffStripWriter::Open(int fd, const std::string& name, const TTiffOutputImage& image,
    const TTiffWriteOptions& options, bool bigTiff, const TTiffMetadata& metadata)
{
    Abandon();
    FFailed = false;
    const uint64_t lineBytes = uint64_t(image.Width) * image.Channels * (image.Bits / 8u);
    if (CheckTiffWriteOptions(options, image.Bits, lineBytes) != TTiffOptionsVerdict::Ok) {
        return false;
    }
    FIo = std::make_unique<TTiffFd>();
    FTif = OpenTiffWrite(fd, name, bigTiff, *FIo);
    if (!FTif) {
        return false;
    }
    TStripFormat format;
    format.Width = image.Width;
    format.Height = image.Height;
    format.Bits = image.Bits;
    format.Samples = image.Channels;
    format.Compression = options.Compression;
    format.Predictor = options.Predictor;
    format.Level = options.Level;
    format.RowsPerStrip = options.RowsPerStrip;
    const auto sink = [this](uint32_t strip, const uint8_t* bytes, size_t count) {
        // libtiff takes a non-const buffer but only copies from it.
        const auto size = static_cast<tmsize_t>(count);
        return TIFFWriteRawStrip(FTif, strip, const_cast<uint8_t*>(bytes), size) == size
            && !FIo->Failed;
    };
    if (!SetTags(image, options, metadata) || !FEncoder.Start(format, options.Threads, sink)) {
        Abandon();
        return false;
    }
    return true;
}

bool TTiffStripWriter::SetTags(
    const TTiffOutputImage& image, const TTiffWriteOptions& options, const TTiffMetadata& metadata)
{
    const uint32_t rows = std::max<uint32_t>(1, std::min(options.RowsPerStrip, image.Height));
    bool ok = TIFFSetField(FTif, TIFFTAG_IMAGEWIDTH, image.Width) == 1
        && TIFFSetField(FTif, TIFFTAG_IMAGELENGTH, image.Height) == 1
        && TIFFSetField(FTif, TIFFTAG_BITSPERSAMPLE, unsigned(image.Bits)) == 1
        && TIFFSetField(FTif, TIFFTAG_SAMPLESPERPIXEL, unsigned(image.Channels)) == 1
        && TIFFSetField(FTif, TIFFTAG_ROWSPERSTRIP, rows) == 1
        && TIFFSetField(FTif, TIFFTAG_COMPRESSION, unsigned(options.Compression)) == 1
        && TIFFSetField(FTif, TIFFTAG_PLANARCONFIG, unsigned(PLANARCONFIG_CONTIG)) == 1
        && TIFFSetField(FTif, TIFFTAG_PHOTOMETRIC, unsigned(PHOTOMETRIC_RGB)) == 1
        && TIFFSetField(FTif, TIFFTAG_XRESOLUTION, 240.0) == 1
        && TIFFSetField(FTif, TIFFTAG_YRESOLUTION, 240.0) == 1
        && TIFFSetField(FTif, TIFFTAG_RESOLUTIONUNIT, unsigned(RESUNIT_INCH)) == 1;
    if (ok && options.Predictor) {
        ok = TIFFSetField(FTif, TIFFTAG_PREDICTOR, unsigned(PREDICTOR_HORIZONTAL)) == 1;
    }
    if (ok && image.Channels == 4) {
        ok = WriteUnassociatedAlpha(FTif);
    }
    if (ok && options.KeepMetadata) {
        ok = WriteTiffMetadata(FTif, metadata);
    }
    return ok;
}

bool TTiffStripWriter::WriteLine(const uint8_t* line)
{
    if (!FTif || FFailed) {
        return false;
    }
    if (!FEncoder.PushRow(line)) {
        FFailed = true;
        return false;
    }
    return true;
}

bool TTiffStripWriter::Close()
{
    if (!FTif) {
        return true;
    }
    if (FFailed || !FEncoder.Finish()) {
        Abandon();
        return false;
    }
    // The directory is written here; a failure means the file is unusable.
    const bool flushed = TIFFFlush(FTif) == 1;
    CloseHandle();
    return flushed && !FIo->Failed;
}

void TTiffStripWriter::Abandon()
{
    FEncoder.Abandon();
    if (FTif) {
        StopTiffWriting(*FIo);
        CloseHandle();
    }
    FFailed = true;
}

int TTiffStripWriter::Error() const
{
    if (FIo && FIo->Error != 0) {
        return FIo->Error;
    }
    return FFailed || (FIo && FIo->Failed) ? EIO : 0;
}

void TTiffStripWriter::CloseHandle()
{
    TIFFClose(FTif);
    FTif = nullptr;
}
