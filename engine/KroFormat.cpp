// KRO header coding and the KRO line reader (which checks the header again) and writer.
#include "engine/KroFormat.h"

#include <cstring>

#include "engine/RawFormat.h"
#include "engine/SeqFile.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"

namespace {
constexpr uint8_t kKroVersion = 1;

void PutBigEndian(uint8_t* at, uint32_t v)
{
    // The header is big-endian whatever the host; SwapEndian32 turns host order into it on
    // the little-endian machines this program runs on.
    const uint32_t stored = SwapEndian32(v);
    std::memcpy(at, &stored, 4);
}

uint32_t GetBigEndian(const uint8_t* at)
{
    uint32_t stored = 0;
    std::memcpy(&stored, at, 4);
    return SwapEndian32(stored);
}

/// KRO lines follow the header; opening also checks that the header still says what the
/// probe read, so a file replaced in between is not read with the wrong geometry.
class TKroLineReader final : public TSeqLineReader {
public:
    TKroLineReader()
        : TSeqLineReader(kKroHeaderSize)
    {
    }

protected:
    bool CheckHeader(const TFileInfo& info) override
    {
        TKroHeaderBytes bytes {};
        TKroHeader header;
        return FFile.Read(bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size())
            && DecodeKroHeader(bytes, header) && header.Width == info.Width
            && header.Height == info.Height && header.Bits == info.Bits
            && header.Channels == info.Channels;
    }
};
} // namespace

TKroHeaderBytes EncodeKroHeader(const TKroHeader& header)
{
    TKroHeaderBytes bytes {};
    bytes[0] = 'K';
    bytes[1] = 'R';
    bytes[2] = 'O';
    bytes[3] = kKroVersion;
    PutBigEndian(&bytes[4], header.Width);
    PutBigEndian(&bytes[8], header.Height);
    PutBigEndian(&bytes[12], header.Bits);
    PutBigEndian(&bytes[16], header.Channels);
    return bytes;
}

bool DecodeKroHeader(const TKroHeaderBytes& bytes, TKroHeader& header)
{
    if (bytes[0] != 'K' || bytes[1] != 'R' || bytes[2] != 'O' || bytes[3] != kKroVersion) {
        return false;
    }
    header.Width = GetBigEndian(&bytes[4]);
    header.Height = GetBigEndian(&bytes[8]);
    header.Bits = GetBigEndian(&bytes[12]);
    header.Channels = GetBigEndian(&bytes[16]);
    return true;
}

bool ReadKroHeader(const std::string& path, TKroHeader& header)
{
    TSeqFile file;
    if (!file.OpenRead(path)) {
        (void)IoResult(); // a missing file is the header error, not a pending failure
        return false;
    }
    TKroHeaderBytes bytes {};
    const int64_t got = file.Read(bytes.data(), bytes.size());
    (void)file.Close();
    (void)IoResult();
    return got == static_cast<int64_t>(bytes.size()) && DecodeKroHeader(bytes, header);
}

std::unique_ptr<TLineReader> MakeKroReader()
{
    return std::make_unique<TKroLineReader>();
}

std::unique_ptr<TLineWriter> MakeKroWriter()
{
    return std::make_unique<TSeqLineWriter>();
}
