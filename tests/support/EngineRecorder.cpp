// The recorder of an engine's hooks.
#include "support/EngineRecorder.h"

void TEngineRecorder::Attach(TTavmor& engine)
{
    engine.OnError = [this](const std::string& text) { Errors.push_back(text); };
    engine.OnStatus = [this, &engine](const std::string& text) {
        Statuses.push_back(text);
        if (AbortAtStatus > 0 && !text.empty()) {
            int seen = 0;
            for (const std::string& s : Statuses) {
                seen += s.empty() ? 0 : 1;
            }
            if (seen == AbortAtStatus) {
                engine.Abort = true;
            }
        }
    };
    engine.OnShowProgress = [this](int32_t max, const std::string& caption) {
        ++ShowCount;
        ShowMax = max;
        ShowCaption = caption;
    };
    engine.OnUpdateProgress = [this](int32_t position) { Positions.push_back(position); };
    engine.OnHideProgress = [this] { ++HideCount; };
}
