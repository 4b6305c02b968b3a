// The tiled pyramidal TIFF writer: the full-resolution image as the first page, each smaller
// level as a later top-level page marked as a reduced-resolution image, tiles arriving already
// encoded (JPEG in YCbCr 4:2:0, or Deflate with the horizontal predictor).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/TileEncoder.h"

typedef struct tiff TIFF;
struct TTiffFd;

/// The pages of a pyramid and how their tiles are coded.
struct TPyramidTiffSpec {
    struct TPage {
        uint32_t Width = 0;
        uint32_t Height = 0;
    };
    std::vector<TPage> Pages; ///< the full resolution first, then each reduced level
    uint32_t TileSize = 256; ///< tile width and length, a multiple of 16
    uint8_t Channels = 3; ///< 3, or 4 with Deflate (unassociated alpha)
    TTileCodec Codec = TTileCodec::Jpeg; ///< Jpeg or Deflate
    bool BigTiff = false;
    /// JPEG: the tables the tiles leave out (JpegTables), written once per page as its
    /// JPEGTables tag; empty when every tile carries its own.
    std::vector<uint8_t> JpegTables;
};

/// Writes one pyramid. The first page's tiles go into the file as they come; the tiles of the
/// later pages wait in an unnamed spool file in the same folder (so nothing of it outlives
/// the process) until Close writes them page after page. One thread.
class TPyramidTiffWriter {
public:
    TPyramidTiffWriter();
    ~TPyramidTiffWriter();
    TPyramidTiffWriter(const TPyramidTiffWriter&) = delete;
    TPyramidTiffWriter& operator=(const TPyramidTiffWriter&) = delete;

    /// Creates (or truncates) path and the spool beside it. False when either cannot be made;
    /// path may then remain for the caller to delete.
    [[nodiscard]] bool Open(const std::string& path, const TPyramidTiffSpec& setup);
    /// Stores the encoded tile at (column, row) of page (0 = full resolution): the bytes of a
    /// whole tile of TileSize x TileSize, padded past the image's edges. False on a write
    /// failure or a tile outside the page.
    [[nodiscard]] bool WriteTile(
        uint32_t page, uint32_t column, uint32_t row, const std::vector<uint8_t>& bytes);
    /// Writes every page's directory and the spooled tiles, then closes the file. Every tile of
    /// every page must have been written. False when anything failed; the file is then unusable.
    [[nodiscard]] bool Close();
    /// Closes without completing the file (after a failure or an abort); safe twice.
    void Discard();

private:
    [[nodiscard]] bool StartPage(uint32_t page);
    [[nodiscard]] bool CopySpooledPage(uint32_t page);

    struct TSpooled {
        uint64_t Offset = 0;
        uint32_t Size = 0;
    };

    TIFF* FTif = nullptr;
    int FFd = -1;
    std::unique_ptr<TTiffFd> FState; ///< libtiff's view of FFd
    int FSpool = -1;
    uint64_t FSpoolEnd = 0;
    TPyramidTiffSpec FSpec;
    std::vector<std::vector<TSpooled>> FSpooled; ///< per page, per tile index
};
