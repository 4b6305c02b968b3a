// Where a job writes and under which name, worked out before it runs: the output folder, the
// name of a region copy and of a split's first tile.
#pragma once

#include <cstdint>
#include <string>

#include "engine/FileInfo.h"
#include "engine/WriteOptions.h"
#include "jobs/JobRequests.h"

/// The folder, ending in the separator, for the output of a job whose input is fileName:
/// chosen when it names an existing folder, else the input's own ("./" for a bare name).
std::string OutputFolderFor(const std::string& fileName, const std::string& chosen);

/// The write options of an output request: its TIFF options and its kind's compression.
TWriteOptions WriteOptionsOf(const TOutputRequest& output);

/// The complete name that a region copy of width x height pixels of `in` writes with output;
/// "" when the kind is unknown.
std::string RegionOutputName(
    const TFileInfo& in, uint32_t width, uint32_t height, const TOutputRequest& output);

/// The complete name of the first tile that a split of `in` into tiles of tileWidth x
/// tileHeight writes with output; "" when the kind is unknown.
std::string FirstTileName(
    const TFileInfo& in, uint32_t tileWidth, uint32_t tileHeight, const TOutputRequest& output);
