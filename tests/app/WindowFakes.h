// Fakes for the window tests: dialogs that record what the window shows and answer from a
// script, a recording taskbar that can act at a progress position, and a window fixture.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPoint>

#include "app/Main.h"
#include "app/Taskbar.h"
#include "app/WindowDialogs.h"
#include "support/RecordingDialogs.h"

/// The window's dialogs, recorded. Message boxes and engine questions go to the recording
/// engine dialogs; the open, folder and confirmation dialogs answer from the fields below.
class TFakeWindowDialogs final : public TWindowDialogs {
public:
    TRecordingDialogs Engine;

    /// Answers of the open dialog, first to last; cancelled once they run out.
    std::deque<std::vector<std::string>> OpenAnswers;
    int OpenCount = 0;
    bool LastOpenMultiple = false;
    /// Answer of the folder dialog; empty cancels it.
    std::string FolderAnswer;
    std::vector<std::string> FolderStarts; ///< the start folder of every folder dialog
    /// Answers of the abort confirmation, first to last; No once they run out.
    std::deque<bool> ConfirmAnswers;
    std::vector<QPoint> ConfirmPoints; ///< where every confirmation was placed

    void ShowMessage(const std::string& text) override { Engine.ShowMessage(text); }
    void ShowErrorDialog(const std::string& text) override { Engine.ShowErrorDialog(text); }
    bool AskYesNo(const std::string& text) override { return Engine.AskYesNo(text); }
    bool AskRawParameters(int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits,
        TRawParameters& answer) override
    {
        return Engine.AskRawParameters(fileSize, width, height, bits, answer);
    }
    bool ChooseInputFiles(bool multiple, std::vector<std::string>& names) override
    {
        ++OpenCount;
        LastOpenMultiple = multiple;
        if (OpenAnswers.empty()) {
            return false;
        }
        names = OpenAnswers.front();
        OpenAnswers.pop_front();
        return true;
    }
    bool ChooseFolder(const std::string& start, std::string& folder) override
    {
        FolderStarts.push_back(start);
        if (FolderAnswer.empty()) {
            return false;
        }
        folder = FolderAnswer;
        return true;
    }
    bool ConfirmAbort(int x, int y) override
    {
        ConfirmPoints.emplace_back(x, y);
        if (ConfirmAnswers.empty()) {
            return false;
        }
        const bool yes = ConfirmAnswers.front();
        ConfirmAnswers.pop_front();
        return yes;
    }
};

/// Records the taskbar progress and runs OnPosition at every position it is given.
class TRecordingTaskbar final : public TTaskbarProgress {
public:
    struct TLog {
        std::vector<TTaskbarState> States;
        std::vector<int32_t> Maximums;
        int32_t LastPosition = -1;
        /// Run at every position: where a test clicks Pause, Abort or Start inside a job.
        std::function<void(int32_t)> OnPosition;
    };
    explicit TRecordingTaskbar(TLog& log)
        : Log(log)
    {
    }
    void SetMaximum(int32_t max) override { Log.Maximums.push_back(max); }
    void SetPosition(int32_t position) override
    {
        Log.LastPosition = position;
        if (Log.OnPosition) {
            Log.OnPosition(position);
        }
    }
    void SetState(TTaskbarState state) override { Log.States.push_back(state); }
    TLog& Log;
};

/// A window with fake dialogs and taskbar and no settings file.
struct TWindowFixture {
    TFakeWindowDialogs Dialogs;
    TRecordingTaskbar::TLog Taskbar;
    std::unique_ptr<TFrmMain> Window;

    TWindowFixture()
    {
        TFrmMainOptions options;
        options.Dialogs = &Dialogs;
        options.Taskbar = std::make_unique<TRecordingTaskbar>(Taskbar);
        Window = std::make_unique<TFrmMain>(std::move(options));
    }
    TFrmMain& W() { return *Window; }
    std::string Status() const;
    /// Chooses a single input through the open dialog, as a click on "..." does.
    void ChooseInput(const std::string& path);
    /// Chooses a tile set through the open dialog (switches to Merge first).
    void ChooseTiles(const std::vector<std::string>& paths);
};
