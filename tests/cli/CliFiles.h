// Input files the command-line tests make: RAW images of any size, written fast.
#pragma once

#include <cstdint>
#include <string>

#include "support/TestImages.h"

/// Writes base_<width>X<height>.raw into dir: 8-bit RGB samples, each line a shade of its own
/// (shade moves all of them), so that two such files with other shades differ everywhere.
/// Returns the file's path.
std::string WriteRawInput(const TestImages::TTempDir& dir, const std::string& base, uint32_t width,
    uint32_t height, uint8_t shade = 0);
