// Pixel repacking between two line buffers: channel count and the byte order of 16-bit samples.
#pragma once

#include <cstdint>

#include "engine/FileInfo.h"

/// Converts count pixels from source's line at sourceX into target's line at targetX: alpha
/// dropped or made opaque, 16-bit samples swapped where the byte orders differ, associated
/// alpha made straight where the target keeps alpha (colours stay as stored where it drops
/// it). The target's
/// depth is the source's. Nothing happens for a combination outside 3 or 4 channels of 8 or 16
/// bits. Callers keep both ranges inside their lines.
void RepackLine(const TFileInfo& source, uint32_t sourceX, const TFileInfo& target,
    uint32_t targetX, uint32_t count);
