// The commands of the command line, each run through the same jobs as the window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "jobs/PyramidJob.h"

/// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; ///< failed, refused or aborted
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130; ///< stopped by SIGINT or SIGTERM

enum class TCommand { Info, Convert, Crop, Split, Merge, Resize, Pyramid };

/// Everything the options say, already checked against their ranges.
struct TCliRequest {
    TCommand Command = TCommand::Info;
    std::vector<std::string> Files; ///< inputs, or the tiles of a merge
    bool Json = false;
    TOutputChoice Output = TOutputChoice::Tif;
    std::string OutDir; ///< "" = the input's folder
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
/// order, stopping early after a stop signal. Returns the exit status: the worst of the
/// files, or kExitInterrupted after a stop signal. Main thread only.
[[nodiscard]] int RunRequest(const TCliRequest& request);

/// The text as a JSON string literal: quotes, backslash and control characters escaped,
/// bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(const std::string& text);
