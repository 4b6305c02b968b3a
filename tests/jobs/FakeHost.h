// A recording host for the jobs: keeps every error, status text and progress call, and runs
// a scripted action whenever the job lets the user interface handle its messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jobs/JobHost.h"

class TFakeHost final : public TJobHost {
public:
    std::vector<std::string> Errors; ///< ShowError and ShowErrorDialog texts, in order
    std::vector<std::string> Statuses; ///< every status text, in order
    std::vector<int32_t> Positions; ///< every progress position, in order
    std::vector<bool> PausedStates; ///< every SetProgressPaused argument
    int ShowCount = 0;
    int HideCount = 0;
    int DisableCount = 0;
    int EnableCount = 0;
    int ProcessCount = 0;
    int32_t LastMax = -1;
    std::string LastCaption;
    bool ProgressVisible = false;

    /// Run inside every ProcessMessages: where a test clicks Pause, Abort or Start.
    std::function<void()> OnProcessMessages;

    void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void ShowErrorDialog(const std::string& text) override { Errors.push_back(text); }
    void ShowProgressPanel(int32_t max, const std::string& caption) override
    {
        ++ShowCount;
        LastMax = max;
        LastCaption = caption;
        ProgressVisible = true;
    }
    void SetProgressPosition(int32_t position) override { Positions.push_back(position); }
    void SetProgressPaused(bool paused) override { PausedStates.push_back(paused); }
    void HideProgressPanel() override
    {
        ++HideCount;
        ProgressVisible = false;
    }
    void ProcessMessages() override
    {
        ++ProcessCount;
        if (OnProcessMessages) {
            OnProcessMessages();
        }
    }
    void DisableButtons() override { ++DisableCount; }
    void EnableButtons() override { ++EnableCount; }

    /// The last status text, "" when none was shown.
    std::string LastStatus() const { return Statuses.empty() ? std::string() : Statuses.back(); }
};
