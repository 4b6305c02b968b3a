// JPEG tiles through libjpeg-turbo, compressed a row at a time, so a tile in progress costs its
// compressor state and the bytes written so far, never its pixels.
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

#include "engine/TileEncoder.h"

namespace {

// The first guess of a tile's size; the buffer doubles when it fills.
constexpr size_t kFirstBufferBytes = 16384;

/// libjpeg's error manager with a way back: errors jump to the call that armed Jump, warnings
/// and messages are dropped (nothing ever prints).
struct TJpegErrors {
    jpeg_error_mgr Manager {};
    std::jmp_buf Jump {};
};

void JumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegErrors*>(info->err)->Jump, 1);
}

void DiscardMessage(j_common_ptr, int) { }
void DiscardOutput(j_common_ptr) { }

/// A destination that writes into a growing byte vector.
struct TVectorDestination {
    jpeg_destination_mgr Manager {};
    std::vector<uint8_t>* Bytes = nullptr;
};

void StartDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<TVectorDestination*>(info->dest);
    dest->Bytes->resize(kFirstBufferBytes);
    dest->Manager.next_output_byte = dest->Bytes->data();
    dest->Manager.free_in_buffer = dest->Bytes->size();
}

boolean GrowDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<TVectorDestination*>(info->dest);
    // Called when the whole buffer is full, whatever free_in_buffer says.
    const size_t used = dest->Bytes->size();
    dest->Bytes->resize(used * 2);
    dest->Manager.next_output_byte = dest->Bytes->data() + used;
    dest->Manager.free_in_buffer = dest->Bytes->size() - used;
    return TRUE;
}

void EndDestination(j_compress_ptr info)
{
    auto* dest = reinterpret_cast<TVectorDestination*>(info->dest);
    dest->Bytes->resize(dest->Bytes->size() - dest->Manager.free_in_buffer);
}

/// Arms the silent error manager and the vector destination writing into bytes.
void PrepareManagers(jpeg_compress_struct& info, TJpegErrors& errors,
    TVectorDestination& destination, std::vector<uint8_t>& bytes)
{
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = JumpOnError;
    errors.Manager.emit_message = DiscardMessage;
    errors.Manager.output_message = DiscardOutput;
    destination.Manager.init_destination = StartDestination;
    destination.Manager.empty_output_buffer = GrowDestination;
    destination.Manager.term_destination = EndDestination;
    destination.Bytes = &bytes;
}

class TJpegTileEncoder final : public TTileEncoder {
public:
    TJpegTileEncoder(int quality, bool jfifMarker, bool sharedTables)
        : FQuality(quality)
        , FJfif(jfifMarker)
        , FSharedTables(sharedTables)
    {
        PrepareManagers(FInfo, FErrors, FDestination, FBytes);
        if (setjmp(FErrors.Jump) == 0) {
            jpeg_create_compress(&FInfo);
            FCreated = true;
        }
    }

    ~TJpegTileEncoder() override
    {
        if (FCreated) {
            jpeg_destroy_compress(&FInfo);
        }
    }

    TJpegTileEncoder(const TJpegTileEncoder&) = delete;
    TJpegTileEncoder& operator=(const TJpegTileEncoder&) = delete;

    bool Begin(uint32_t width, uint32_t height, uint8_t channels) override
    {
        if (!FCreated || channels != 3 || width == 0 || height == 0 || width > JPEG_MAX_DIMENSION
            || height > JPEG_MAX_DIMENSION) {
            return false;
        }
        Abandon();
        if (setjmp(FErrors.Jump) != 0) {
            Abandon();
            return false;
        }
        FInfo.dest = &FDestination.Manager;
        FInfo.image_width = width;
        FInfo.image_height = height;
        FInfo.input_components = 3;
        FInfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&FInfo);
        // Baseline tables at the quality asked; 4:2:0 chroma, as jpeg_set_defaults chooses.
        jpeg_set_quality(&FInfo, FQuality, TRUE);
        FInfo.write_JFIF_header = FJfif ? TRUE : FALSE;
        // Shared tables: marked as sent, so the tile carries none (JpegTables holds them).
        if (FSharedTables) {
            jpeg_suppress_tables(&FInfo, TRUE);
        }
        jpeg_start_compress(&FInfo, FSharedTables ? FALSE : TRUE);
        FStarted = true;
        return true;
    }

    bool AddRow(const uint8_t* row) override
    {
        if (!FStarted || FInfo.next_scanline >= FInfo.image_height) {
            return false;
        }
        if (setjmp(FErrors.Jump) != 0) {
            Abandon();
            return false;
        }
        // libjpeg does not write through the row pointer; its type lacks the const.
        JSAMPROW rows[1] = { const_cast<JSAMPLE*>(row) };
        jpeg_write_scanlines(&FInfo, rows, 1);
        return true;
    }

    bool Finish(std::vector<uint8_t>& bytes) override
    {
        if (!FStarted || FInfo.next_scanline != FInfo.image_height) {
            Abandon();
            return false;
        }
        if (setjmp(FErrors.Jump) != 0) {
            Abandon();
            return false;
        }
        jpeg_finish_compress(&FInfo);
        FStarted = false;
        bytes.swap(FBytes);
        FBytes.clear();
        return true;
    }

private:
    /// Drops a tile in progress; the compressor stays ready for the next.
    void Abandon()
    {
        if (FStarted) {
            jpeg_abort_compress(&FInfo);
            FStarted = false;
        }
    }

    jpeg_compress_struct FInfo {};
    TJpegErrors FErrors;
    TVectorDestination FDestination;
    std::vector<uint8_t> FBytes;
    int FQuality;
    bool FJfif;
    bool FSharedTables;
    bool FCreated = false;
    bool FStarted = false;
};

} // namespace

std::unique_ptr<TTileEncoder> MakeJpegTileEncoder(int quality, bool jfifMarker, bool sharedTables)
{
    return std::make_unique<TJpegTileEncoder>(quality, jfifMarker, sharedTables);
}

bool JpegTables(int quality, std::vector<uint8_t>& bytes)
{
    jpeg_compress_struct info {};
    TJpegErrors errors;
    TVectorDestination destination;
    PrepareManagers(info, errors, destination, bytes);
    volatile bool created = false; // read after a longjmp
    if (setjmp(errors.Jump) != 0) {
        if (created) {
            jpeg_destroy_compress(&info);
        }
        return false;
    }
    jpeg_create_compress(&info);
    created = true;
    info.dest = &destination.Manager;
    // The same tables as every tile's Begin makes.
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_write_tables(&info);
    jpeg_destroy_compress(&info);
    return true;
}
