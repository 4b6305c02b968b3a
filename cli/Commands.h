// The commands of the command line, each run through the same jobs as the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "engine/TiffWriteOptions.h"
#include "jobs/PyramidJob.h"

/// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; ///< failed, refused or aborted
inline constexpr int kExitUsage = 2;
/// Stopped by a signal: 128 + the signal's number (130 for Ctrl+C).
inline constexpr int kExitSignalBase = 128;

enum class TCommand { Info, Convert, Crop, Split, Merge, Resize, Pyramid };

/// Everything the options say, already checked against their ranges.
struct TCliRequest {
    TCommand Command = TCommand::Info;
    std::vector<std::string> Files; ///< inputs, or the tiles of a merge
    bool Json = false;
    std::string Output = "tif"; ///< the output kind's name in the format table
    std::string OutDir; ///< "" = the input's folder
    std::string OutName; ///< -o: the one output's complete name, "" when not given
    TTiffWriteOptions Tiff; ///< --predictor, --level, --strip-rows, --threads, --keep-*
    TCliHostOptions Host;
    int64_t CropX = 0;
    int64_t CropY = 0;
    int64_t CropW = 1;
    int64_t CropH = 1;
    int64_t TileWidth = 1000;
    int64_t TileHeight = 1000;
    int64_t ResizeWidth = 1000;
    bool Fast = false;
    TPyramidOptions Pyramid;
};

/// Runs the request with one engine and the terminal as host: the job once per file, in
/// order, stopping early after a stop signal. Refuses, before anything is written, inputs that
/// would write one output name. Returns the exit status: the worst of the files, or
/// kExitSignalBase + the signal after a stop signal. Main thread only.
[[nodiscard]] int RunRequest(const TCliRequest& request);
