// The Pyramid job: the probed input read once, line by line, into the levels and tiles of a
// Deep Zoom, IIIF or tiled pyramidal TIFF output, committed whole or not at all.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/Outcome.h"
#include "jobs/JobRequests.h"
#include "jobs/PyramidLayout.h"

class TJobs;

/// What the user asked of a pyramid.
struct TPyramidOptions {
    TPyramidLayoutKind Layout = TPyramidLayoutKind::Dzi;
    uint32_t TileSize = 0; ///< 0: the layout's usual size (254 Deep Zoom, 256 IIIF and TIFF)
    uint32_t Overlap = 1; ///< Deep Zoom only; below the tile size
    std::string Suffix = ".jpg"; ///< .jpg, .png or .webp (TIFF: .jpg or .png, meaning Deflate)
    int Quality = 75; ///< 1 to 100, JPEG and WebP
    std::array<uint8_t, 3> Background { 255, 255, 255 }; ///< under the alpha of JPEG tiles
    std::string IiifId; ///< the id in info.json; "" = the output's name
    std::string Name; ///< the output's base name; "" = the input's
    unsigned Workers = 0; ///< tile encoding threads; 0 = one per core
    /// Batches of rows between the reading thread and the encoders; 0 = the usual
    /// (TPyramidTiler::kDepth). More lets the reading run further ahead, at the cost of memory.
    unsigned Depth = 0;
    /// The folder to write into; "" (or a folder that no longer exists) means the input's own.
    std::string Folder;
};

/// The usual tile size of a layout.
uint32_t DefaultTileSize(TPyramidLayoutKind layout);

/// Makes the pyramid of the engine's probed input (jobs.Engine.InInfo) in options.Folder (as
/// OutputFolderFor chooses it), asking before it replaces an existing output. The result names
/// the descriptor (Deep Zoom), the folder (IIIF) or the file (TIFF) written. Progress, pause and
/// abort go through the jobs as for the other operations; errors are shown through
/// jobs.ShowError. Nothing of the output carries its final name unless it is complete: on a
/// failure or an abort its temporary folder is removed. Window (or command-line) thread only.
[[nodiscard]] TJobResult RunPyramid(TJobs& jobs, const TPyramidOptions& options);
