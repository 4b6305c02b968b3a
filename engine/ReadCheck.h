// Whether a whole read of an image file can succeed, told before any line is read: what
// `info` and the window's information box call a valid file.
#pragma once

#include <string>

#include "engine/FileInfo.h"

/// For a file the probe accepted (info.ImageIsOk): whether every line can be read, as far as
/// its headers and its length tell without decoding pixels (a KRO or RAW file holds all its
/// lines; every strip and tile of a TIFF lies inside the file and holds what the geometry
/// needs). False with reason (for a user) when not; false with "" for a file the probe refused.
[[nodiscard]] bool CheckWholeRead(const TFileInfo& info, std::string& reason);
