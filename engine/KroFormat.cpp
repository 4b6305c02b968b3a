// KRO files: header coding, the probe, the line reader (which checks the header again), the
// writer (which writes the header first) and the KRO row of the format table.
#include "engine/KroFormat.h"

#include <cstring>
#include <string>

#include "engine/EngineTexts.h"
#include "engine/ProbeSupport.h"
#include "engine/RawFormat.h"
#include "engine/SeqFile.h"
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

/// KRO lines follow the 20-byte header, which the writer puts first.
class TKroLineWriter final : public TSeqLineWriter {
protected:
    bool WriteHeader(const TFileInfo& info) override
    {
        const TKroHeaderBytes bytes =
            EncodeKroHeader({ info.Width, info.Height, info.Bits, info.Channels });
        return FFile.Write(bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size());
    }
};

void ProbeKro(TFileInfo& info, TEngineDialogs& dialogs, bool)
{
    BeginProbe(info, FileType::KRO, "KRO");
    TKroHeader header;
    std::string why;
    if (!ReadKroHeader(info.FileName, header, why)) {
        dialogs.NoteDetail(info.FileName, why);
        dialogs.ShowMessage(EngineText::KroHeaderError);
        return;
    }
    if (header.Bits != 8 && header.Bits != 16) {
        dialogs.NoteDetail(info.FileName, std::to_string(header.Bits) + " bits per sample");
        dialogs.ShowMessage(EngineText::BitsMust8Or16);
        return;
    }
    info.Bits = static_cast<uint8_t>(header.Bits);
    if (header.Channels != 4) {
        dialogs.NoteDetail(info.FileName, std::to_string(header.Channels) + " channels");
        dialogs.ShowMessage(EngineText::ChannelsMust4);
        return;
    }
    info.Channels = 4;
    if (header.Width == 0 || header.Height == 0) {
        dialogs.NoteDetail(info.FileName,
            "width " + std::to_string(header.Width) + ", height " + std::to_string(header.Height));
        dialogs.ShowMessage(EngineText::HeightOrWidth0);
        return;
    }
    info.Width = header.Width;
    info.Height = header.Height;
    info.BytesPerPixel = info.Bits == 8 ? 4 : 8;
    info.IsLsb = false;
    AcceptWithinLimits(info, dialogs);
}
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

bool ReadKroHeader(const std::string& path, TKroHeader& header, std::string& reason)
{
    reason.clear();
    TSeqFile file;
    if (!file.OpenRead(path)) {
        reason = std::strerror(file.Error());
        return false;
    }
    TKroHeaderBytes bytes {};
    const int64_t got = file.Read(bytes.data(), bytes.size());
    const int error = file.Error();
    (void)file.Close();
    if (got != static_cast<int64_t>(bytes.size())) {
        reason = error != 0 ? std::strerror(error)
                            : "the file holds " + std::to_string(got) + " of the header's "
                + std::to_string(bytes.size()) + " bytes";
        return false;
    }
    if (!DecodeKroHeader(bytes, header)) {
        reason = "no KRO signature or another version";
        return false;
    }
    return true;
}

bool ReadKroHeader(const std::string& path, TKroHeader& header)
{
    std::string reason;
    return ReadKroHeader(path, header, reason);
}

const TFormat& KroFormatRow()
{
    static const TFormat kRow {
        .Type = FileType::KRO,
        .Desc = "KRO",
        .Extensions = { ".KRO" },
        .Probe = ProbeKro,
        .LinesByNumber = false,
        .OutChannels = 4,
        .OutputChannels = nullptr,
        .OutIsLsb = false,
        .SizeInName = false,
        .Extension = ".kro",
        .NeedsLargeLayout = nullptr,
        .LargeExtension = ".kro",
        .OptionsProblem = nullptr,
        .MakeReader = [] { return std::unique_ptr<TLineReader>(new TKroLineReader()); },
        .MakeWriter = [] { return std::unique_ptr<TLineWriter>(new TKroLineWriter()); },
        .OutputKinds = { { "kro", "KRO", TCompression::None } },
        .CheckWholeRead =
            [](const TFileInfo& info, std::string& reason) {
                return HoldsAllLines(info, kKroHeaderSize, reason);
            },
    };
    return kRow;
}
