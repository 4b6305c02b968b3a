// An input image's line reader behind the row-source interface, 16-bit samples put in the
// machine's byte order in place.
#include "jobs/ImageRowSource.h"

#include <bit>
#include <utility>

TImageRowSource::TImageRowSource(const TFileInfo& info)
    : FInfo(info)
{
}

bool TImageRowSource::Open()
{
    if (!FInput.Open(FInfo)) {
        return false;
    }
    FNext = 0;
    const bool littleEndian = std::endian::native == std::endian::little;
    FSwap = FInfo.Bits == 16 && FInfo.IsLsb != littleEndian;
    return true;
}

const uint8_t* TImageRowSource::NextRow()
{
    // A short line is as bad as none: the buffer would keep the last line's bytes.
    if (!FInput.IsOpen() || FNext >= FInfo.Height || !FInput.ReadWholeLine(FNext)) {
        return nullptr;
    }
    ++FNext;
    uint8_t* row = FInput.Info().ScanLine;
    if (FSwap) {
        const uint32_t size = FInput.Info().ScanLineSize;
        for (uint32_t i = 0; i + 1 < size; i += 2) {
            std::swap(row[i], row[i + 1]);
        }
    }
    return row;
}
