// One request per operation, filled alike by the window (from its panels) and the command line
// (from its options), and the result every job returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Outcome.h"
#include "engine/TiffWriteOptions.h"

/// Where and how a job writes its output.
struct TOutputRequest {
    /// The output kind by its name in the format table ("tif", "tif-lzw", "raw", "kro").
    std::string Kind = "tif";
    /// The folder to write into; "" (or a folder that no longer exists) means the input's own.
    std::string Folder;
    /// The output's complete name, exactly as given, in place of the folder and the name the
    /// job would choose; "" for those. Jobs that write one file only.
    std::string Name;
    /// How a TIFF output is written beyond its compression, which Kind gives (the predictor,
    /// level, rows per strip, threads, and whether alpha and metadata are kept).
    TTiffWriteOptions Tiff;
};

/// Rewrite the whole current input in another format.
struct TConvertRequest {
    TOutputRequest Output;
};

/// Write a rectangle of the current input: top-left point and size in pixels.
struct TCropRequest {
    TOutputRequest Output;
    int64_t X = 0;
    int64_t Y = 0;
    int64_t Width = 1;
    int64_t Height = 1;
};

/// Cut the current input into tiles of the given size (each side clamped to the image).
struct TSplitRequest {
    TOutputRequest Output;
    int64_t TileWidth = 1000;
    int64_t TileHeight = 1000;
};

/// Join a grid of CountX x CountY tile files into one image.
struct TMergeRequest {
    TOutputRequest Output;
    std::vector<std::string> Files; ///< the tile files, in selection order
    int64_t CountX = 0;
    int64_t CountY = 0;
};

/// Shrink the current input to a width, keeping its aspect ratio.
struct TResizeRequest {
    TOutputRequest Output;
    int64_t Width = 1000;
    bool Fast = false; ///< nearest neighbour instead of Lanczos
};

/// What a job came to, and the files it left for the user when it succeeded.
struct TJobResult {
    TOutcome Outcome = TOutcome::Failed;
    std::vector<std::string> Outputs;
};
