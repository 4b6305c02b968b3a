// What `tavmor info` prints for one file: the information box as text, or a JSON object.
#pragma once

#include <string>

#include "engine/FileInfo.h"

/// The information box of a valid input, numbers in plain digits.
std::string InfoText(const std::string& file, const TFileInfo& in);
/// One JSON object (no line end) for a file, valid or not.
std::string InfoJson(const std::string& file, const TFileInfo& in, bool valid);
