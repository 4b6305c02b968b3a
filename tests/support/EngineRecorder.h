// Records what an engine reports through its five hooks, and can stop it at a chosen line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/TavmorManager.h"

struct TEngineRecorder {
    std::vector<std::string> Errors; ///< OnError texts
    std::vector<std::string> Statuses; ///< OnStatus texts, the empty ones included
    std::vector<int32_t> Positions; ///< OnUpdateProgress positions
    int ShowCount = 0;
    int HideCount = 0;
    int32_t ShowMax = -1; ///< maximum of the last OnShowProgress
    std::string ShowCaption;
    /// When > 0, the engine's Abort is set as the status with this (1-based) number among
    /// the non-empty ones arrives: "abort at line k" for a region copy.
    int AbortAtStatus = 0;

    /// Installs hooks on engine that record into this; the recorder must outlive their use.
    void Attach(TTavmor& engine);
};
