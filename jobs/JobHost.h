// What a job needs from the program that runs it (the window or the command line): status,
// errors, the progress display, the message pump, the buttons and the panel values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The operation panels of the window, in the order of the button row.
enum class TPanel : int { Convert = 1, Crop = 2, Resize = 3, Split = 4, Merge = 5, About = 6 };

/// The output-format radio buttons.
enum class TOutputChoice : int { Tif, TifLzw, Raw, Kro };

/// The numeric fields whose change runs the recalculation (the "sender" of it).
enum class TPanelField : int {
    SplitWidth,
    SplitHeight,
    SplitX,
    SplitY,
    ResizeW,
    ResizeH,
    MergeX,
    MergeY,
};

/// The values of the window's panels that jobs read, and the derived numbers they write back.
struct TPanelValues {
    TPanel CurrentPanel = TPanel::Convert;
    TOutputChoice Output = TOutputChoice::Tif;
    std::string EditOutputFolder; ///< text of the output folder field ("" = input's folder)
    std::string BrowseDirectory; ///< last folder chosen in the folder browse dialog
    int64_t CropX = 0;
    int64_t CropY = 0;
    int64_t CropW = 1;
    int64_t CropH = 1;
    int64_t SplitWidth = 1000;
    int64_t SplitHeight = 1000;
    int64_t SplitX = 0;
    int64_t SplitY = 0;
    int64_t ResizeW = 1000;
    int64_t ResizeH = 0;
    bool FastResize = false; ///< "Fast method (less quality)" chosen
    int64_t MergeX = 0;
    int64_t MergeY = 0;
    std::vector<std::string> SelectedFiles; ///< the tile set, in selection order
};

/// Implemented by the window and the command line. Every call comes on the job's thread.
class TJobHost {
public:
    virtual ~TJobHost() = default;
    /// Puts the text in the status line (and lets the user interface repaint).
    virtual void ShowStatus(const std::string& text) = 0;
    /// Plain message box with the text; blocks until closed.
    virtual void ShowError(const std::string& text) = 0;
    /// Message dialog of the error kind; blocks until closed.
    virtual void ShowErrorDialog(const std::string& text) = 0;
    /// Shows the progress display at position 0 with the maximum and caption.
    virtual void ShowProgressPanel(int32_t max, const std::string& caption) = 0;
    /// Moves the progress display.
    virtual void SetProgressPosition(int32_t position) = 0;
    /// Shows the progress display as paused (true) or running (false).
    virtual void SetProgressPaused(bool paused) = 0;
    /// Hides the progress display.
    virtual void HideProgressPanel() = 0;
    /// Lets the user interface handle pending input; Pause and Abort arrive here.
    virtual void ProcessMessages() = 0;
    virtual void DisableButtons() = 0;
    virtual void EnableButtons() = 0;
    /// The panel values; the recalculation writes derived numbers into them.
    virtual TPanelValues& Panel() = 0;
    /// Called after the recalculation changed panel values, so the fields can be refreshed.
    virtual void PanelValuesChanged() { }
};
