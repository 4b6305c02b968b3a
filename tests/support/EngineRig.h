// An engine whose dialogs and hooks record what it shows, for tests that read its texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/TavmorManager.h"
#include "support/EngineRecorder.h"
#include "support/RecordingDialogs.h"

/// An engine with recording hooks and dialogs.
struct TRig {
    TTavmor Engine;
    TEngineRecorder Hooks;
    TRecordingDialogs Dialogs;
    TRig()
    {
        Engine.Dialogs = &Dialogs;
        Hooks.Attach(Engine);
    }
    /// Every text shown: the dialogs' first, then the errors reported.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> all = Dialogs.All;
        all.insert(all.end(), Hooks.Errors.begin(), Hooks.Errors.end());
        return all;
    }
    /// The last file and reason noted.
    std::pair<std::string, std::string> LastDetail() const
    {
        return Dialogs.Details.empty() ? std::pair<std::string, std::string> {}
                                       : Dialogs.Details.back();
    }
};
