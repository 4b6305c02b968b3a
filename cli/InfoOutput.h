// What `tavmor info` prints for one file: the information box as text, or a JSON object.
#pragma once

#include <string>

#include "engine/FileInfo.h"
#include "engine/TiffMetadata.h"

/// What a file holds beside its pixels: a TIFF's own, or what a RAW or KRO file implies (no
/// compression, alpha as the layout has it, nothing else).
TTiffMetadata MetadataOf(const TFileInfo& in);
/// The information box of a valid input, numbers in plain digits.
std::string InfoText(const std::string& file, const TFileInfo& in, const TTiffMetadata& metadata);
/// One JSON object (no line end) for a file, valid or not; an invalid one says why (reason).
std::string InfoJson(const std::string& file, const TFileInfo& in, bool valid,
    const std::string& reason, const TTiffMetadata& metadata);
