// The engine's line reader behind the row-source interface, 16-bit samples put in the machine's
// byte order in place.
#include "jobs/EngineRowSource.h"

#include <bit>

#include "engine/TavmorManager.h"

TEngineRowSource::TEngineRowSource(TTavmor& engine)
    : FEngine(engine)
{
}

TEngineRowSource::~TEngineRowSource()
{
    FEngine.CloseInFile();
}

bool TEngineRowSource::Open()
{
    (void)IoResult(); // a stale error of an earlier step is not this input's
    if (!FEngine.OpenInFile(FEngine.InInfo.FileName)) {
        return false;
    }
    FNext = 0;
    const bool littleEndian = std::endian::native == std::endian::little;
    FSwap = FEngine.InInfo.Bits == 16 && FEngine.InInfo.IsLsb != littleEndian;
    return true;
}

uint32_t TEngineRowSource::Width() const
{
    return FEngine.InInfo.Width;
}

uint32_t TEngineRowSource::Height() const
{
    return FEngine.InInfo.Height;
}

uint8_t TEngineRowSource::Bits() const
{
    return FEngine.InInfo.Bits;
}

uint8_t TEngineRowSource::Channels() const
{
    return FEngine.InInfo.Channels;
}

const uint8_t* TEngineRowSource::NextRow()
{
    const TFileInfo& in = FEngine.InInfo;
    if (!FEngine.InOpen || FNext >= in.Height) {
        return nullptr;
    }
    const int32_t got = FEngine.ReadLine(static_cast<int32_t>(FNext));
    // A short line is as bad as none: the buffer would keep the last line's bytes.
    if (IoResult() != 0 || got < 0 || static_cast<uint32_t>(got) != in.ScanLineSize) {
        return nullptr;
    }
    ++FNext;
    uint8_t* row = in.ScanLine;
    if (FSwap) {
        for (uint32_t i = 0; i + 1 < in.ScanLineSize; i += 2) {
            std::swap(row[i], row[i + 1]);
        }
    }
    return row;
}
