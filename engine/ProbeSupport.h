// Steps every format's probe shares: starting the description and accepting it within limits.
#pragma once

#include "engine/EngineDialogs.h"
#include "engine/FileInfo.h"

/// Starts a probe of info.FileName as a file of `type`: nothing is known to be valid yet.
void BeginProbe(TFileInfo& info, FileType type, const char* desc);

/// Ends a probe that accepted the file: every input the engine takes has sides of at most
/// kMaxImageSide pixels, so line sizes (and the line buffers) stay within 32 bits whatever a
/// header or a name claims. Shows "Image dimensions exceed internal limits" otherwise.
void AcceptWithinLimits(TFileInfo& info, TEngineDialogs& dialogs);
