// TIFF line writing onto a descriptor its owner keeps: the lines of an output go to the strip
// writer, which encodes strips on every core and writes them in order.
#include <memory>

#include "engine/TiffFormat.h"
#include "engine/TiffStripWriter.h"

namespace {

/// The TIFF output behind the engine's line-writer surface.
class TTiffLineWriter final : public TLineWriter {
public:
    ~TTiffLineWriter() override { Abandon(); }

    [[nodiscard]] bool Open(int fd, const TFileInfo& info, const TWriteOptions& options) override
    {
        Abandon();
        FLineSize = info.ScanLineSize;
        FError = 0;
        TTiffOutputImage image;
        image.Width = info.Width;
        image.Height = info.Height;
        image.Bits = info.Bits;
        image.Channels = info.Channels;
        FOpen = FWriter.Open(fd, info.FileName, image, options, options.ForceBigTiff,
            options.KeepMetadata ? options.Metadata : TTiffMetadata {});
        if (!FOpen) {
            FError = FWriter.Error();
        }
        return FOpen;
    }

    int32_t WriteLine(uint32_t, const uint8_t* buffer) override
    {
        if (!FOpen || !FWriter.WriteLine(buffer)) {
            FError = FError != 0 ? FError : FWriter.Error();
            return 0;
        }
        return static_cast<int32_t>(FLineSize);
    }

    [[nodiscard]] bool Finish() override
    {
        if (!FOpen) {
            return FError == 0;
        }
        FOpen = false;
        const bool ok = FWriter.Close();
        if (!ok) {
            FError = FError != 0 ? FError : FWriter.Error();
        }
        return ok;
    }

    void Abandon() override
    {
        if (FOpen) {
            FWriter.Abandon();
            FOpen = false;
        }
    }

    int Error() const override { return FError; }

private:
    TTiffStripWriter FWriter;
    uint32_t FLineSize = 0;
    bool FOpen = false;
    int FError = 0;
};

} // namespace

std::unique_ptr<TLineWriter> MakeTiffWriter()
{
    return std::make_unique<TTiffLineWriter>();
}
