// Resizing a tile row by row: the public surface, the unchanged-size and nearest-neighbour
// resizes, and the worker's rule for the new size.
#include "resample/RowResampler.h"

#include <cstring>
#include <limits>
#include <new>
#include <thread>
#include <vector>

#include "resample/PixelMath.h"
#include "resample/ResampleTexts.h"
#include "resample/RowResamplerImpl.h"

namespace {

int64_t RowBytes(int32_t width, TImageFormat format)
{
    return int64_t(width) * GetFormatInfo(format)->BytesPerPixel;
}

// A tile whose size does not change goes through as it is, as ScaleImage leaves it.
class TPassThroughRows final : public TRowResampler::TImpl {
public:
    TPassThroughRows(const TRowResizeSpec& setup, TRowSink sink)
        : TImpl(setup, std::move(sink))
    {
    }
    bool RowNeeded(int32_t) const override { return true; }
    uint8_t* Slot(int32_t) override
    {
        if (FStaging.empty()) {
            FStaging.resize(size_t(SourceRowBytes));
            Peak.SourceRows = 1;
            Peak.Bytes = SourceRowBytes;
        }
        return FStaging.data();
    }
    void Take(int32_t y, const uint8_t* row) override { Deliver(y, row); }

private:
    std::vector<uint8_t> FStaging; // only when a source fills the rows (Run)
};

// The fixed-point stretch of NearestStretch, one destination row per needed source row: the
// source row of destination row y is (y × yStep) >> 16, and no source row is kept.
template <int32_t BytesPerPixel> class TNearestRows final : public TRowResampler::TImpl {
public:
    TNearestRows(const TRowResizeSpec& setup, TRowSink sink)
        : TImpl(setup, std::move(sink))
        // 64-bit steps and sums: sides up to 2^31 − 1 pixels.
        , FYStep((int64_t(setup.Height) << 16) / setup.NewHeight)
        , FSourceByte(size_t(setup.NewWidth))
        , FRow(size_t(DestinationRowBytes))
    {
        const int64_t xStep = (int64_t(setup.Width) << 16) / setup.NewWidth;
        int64_t sumX = 0;
        for (int64_t& b : FSourceByte) {
            b = (sumX >> 16) * BytesPerPixel;
            sumX += xStep;
        }
        Peak.DestinationRows = 1;
        Peak.Bytes = int64_t(FSourceByte.size() * sizeof(int64_t) + FRow.size());
    }

    bool RowNeeded(int32_t y) const override
    {
        if (FYStep == 0)
            return y == 0;
        // The first destination row at or after source row y, and whether it takes row y.
        const int64_t first = ((int64_t(y) << 16) + FYStep - 1) / FYStep;
        return first < Setup.NewHeight && SourceRowOf(first) == y;
    }

    uint8_t* Slot(int32_t) override
    {
        if (FStaging.empty()) {
            FStaging.resize(size_t(SourceRowBytes));
            Peak.SourceRows = 1;
            Peak.Bytes += SourceRowBytes;
        }
        return FStaging.data();
    }

    void Take(int32_t y, const uint8_t* row) override
    {
        bool drawn = false;
        while (Delivered < Setup.NewHeight && SourceRowOf(Delivered) == y) {
            if (!drawn) {
                for (size_t x = 0; x < FSourceByte.size(); ++x)
                    std::memcpy(
                        FRow.data() + x * BytesPerPixel, row + FSourceByte[x], BytesPerPixel);
                drawn = true;
            }
            Deliver(Delivered, FRow.data());
        }
    }

private:
    int64_t SourceRowOf(int64_t y) const { return (y * FYStep) >> 16; }

    const int64_t FYStep;
    std::vector<int64_t> FSourceByte;
    std::vector<uint8_t> FRow;
    std::vector<uint8_t> FStaging; // only when a source fills the rows (Run)
};

bool ValidSpec(const TRowResizeSpec& setup)
{
    return setup.Width > 0 && setup.Height > 0 && setup.NewWidth > 0 && setup.NewHeight > 0;
}

} // namespace

TRowResampler::TImpl::TImpl(const TRowResizeSpec& setup, TRowSink sink)
    : Setup(setup)
    , SourceRowBytes(RowBytes(setup.Width, setup.Format))
    , DestinationRowBytes(RowBytes(setup.NewWidth, setup.Format))
    , FSink(std::move(sink))
{
}

void TRowResampler::TImpl::Deliver(int32_t y, const uint8_t* row)
{
    bool taken = false;
    try {
        taken = FSink(y, row);
    } catch (const std::exception& e) {
        throw ERowResizeStopped(e.what());
    } catch (...) {
        throw ERowResizeStopped(ResampleText::UnknownError);
    }
    if (!taken)
        throw ERowResizeStopped(ResampleText::RowRefused);
    ++Delivered;
}

unsigned RowThreadCount(unsigned requested, int32_t rows)
{
    unsigned n = requested ? requested : std::thread::hardware_concurrency();
    n = std::max(1u, n);
    return std::min<unsigned>(n, unsigned(std::max(1, rows / 8)));
}

int32_t DividedSide(uint32_t side, long double divider)
{
    const long double q = RoundHalfEven((long double)side / divider);
    if (!(q >= 1.0L && q <= (long double)std::numeric_limits<int32_t>::max()))
        return 0;
    return int32_t(q);
}

bool TileResizeSpec(int32_t width, int32_t height, TImageFormat format, long double divider,
    bool fast, unsigned threads, TRowResizeSpec& setup)
{
    if (width <= 0 || height <= 0 || !GetFormatInfo(format))
        return false;
    const int32_t newWidth = DividedSide(uint32_t(width), divider);
    const int32_t newHeight = DividedSide(uint32_t(height), divider);
    if (newWidth == 0 || newHeight == 0)
        return false;
    setup = { width, height, newWidth, newHeight, format, fast ? rfNearest : rfLanczos, threads };
    return true;
}

TRowResampler::TRowResampler() = default;

TRowResampler::~TRowResampler()
{
    Close();
}

bool TRowResampler::Open(const TRowResizeSpec& setup, TRowSink sink)
{
    Close();
    FErrorText.clear();
    if (!ValidSpec(setup))
        return Fail(ResampleText::BadNewSize);
    const TImageFormatInfo* info = GetFormatInfo(setup.Format);
    if (!info || (info->BytesPerPixel != 3 && info->BytesPerPixel != 6))
        return Fail(ResampleText::UnknownFormat);
    if (setup.Filter < rfNearest || setup.Filter > rfLanczos)
        return Fail(ResampleText::UnknownFilter);
    if (!sink)
        return Fail(ResampleText::NoSink);
    try {
        if (setup.Width == setup.NewWidth && setup.Height == setup.NewHeight)
            FImpl = std::make_unique<TPassThroughRows>(setup, std::move(sink));
        else if (setup.Filter == rfNearest && info->BytesPerPixel == 3)
            FImpl = std::make_unique<TNearestRows<3>>(setup, std::move(sink));
        else if (setup.Filter == rfNearest)
            FImpl = std::make_unique<TNearestRows<6>>(setup, std::move(sink));
        else
            FImpl = MakeFilteredRows(setup, std::move(sink));
    } catch (const std::bad_alloc&) {
        return Fail(ResampleText::OutOfMemory);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return true;
}

bool TRowResampler::PushRow(const uint8_t* row)
{
    if (!FImpl || !FErrorText.empty())
        return Fail(FErrorText.empty() ? ResampleText::NotOpen : FErrorText);
    const int32_t y = FImpl->NextSourceRow;
    if (y >= FImpl->Setup.Height)
        return Fail(ResampleText::TooManyRows);
    if (!row && FImpl->RowNeeded(y))
        return Fail(ResampleText::MissingRow);
    try {
        FImpl->Take(y, FImpl->RowNeeded(y) ? row : nullptr);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    ++FImpl->NextSourceRow;
    return true;
}

bool TRowResampler::Run(const TRowSource& source)
{
    if (!FImpl || !FErrorText.empty())
        return Fail(FErrorText.empty() ? ResampleText::NotOpen : FErrorText);
    while (FImpl->NextSourceRow < FImpl->Setup.Height) {
        const int32_t y = FImpl->NextSourceRow;
        uint8_t* row = nullptr;
        if (FImpl->RowNeeded(y)) {
            bool filled = false;
            try {
                row = FImpl->Slot(y);
                filled = source(y, row);
            } catch (const std::exception& e) {
                return Fail(e.what());
            }
            if (!filled)
                return Fail(ResampleText::SourceFailed);
        }
        if (!PushRow(row))
            return false;
    }
    return Finished();
}

void TRowResampler::Close()
{
    if (FImpl)
        FImpl->Stop();
    FImpl.reset();
}

bool TRowResampler::RowNeeded(int32_t y) const
{
    return FImpl && y >= 0 && y < FImpl->Setup.Height && FImpl->RowNeeded(y);
}

int32_t TRowResampler::NextSourceRow() const
{
    return FImpl ? FImpl->NextSourceRow : 0;
}

int32_t TRowResampler::RowsDelivered() const
{
    return FImpl ? FImpl->Delivered : 0;
}

bool TRowResampler::Finished() const
{
    return FImpl && FErrorText.empty() && FImpl->Delivered == FImpl->Setup.NewHeight;
}

int64_t TRowResampler::SourceRowBytes() const
{
    return FImpl ? FImpl->SourceRowBytes : 0;
}

int64_t TRowResampler::DestinationRowBytes() const
{
    return FImpl ? FImpl->DestinationRowBytes : 0;
}

TRowResizeMemory TRowResampler::Peak() const
{
    return FImpl ? FImpl->Peak : TRowResizeMemory {};
}

bool TRowResampler::Fail(const std::string& text)
{
    if (FErrorText.empty())
        FErrorText = text.empty() ? std::string(ResampleText::UnknownError) : text;
    if (FImpl)
        FImpl->Stop();
    return false;
}
