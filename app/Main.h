// The main window TFrmMain: button row, input area with its information box, the operation
// panels, output area, About panel, progress panel and status bar, hosting the jobs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "app/PanelValues.h"
#include "app/Setup.h"
#include "app/StartHandler.h"
#include "app/Taskbar.h"
#include "engine/TavmorManager.h"
#include "jobs/JobHost.h"
#include "jobs/TavmorJobs.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class TNumberEdit;
class TProgressPanel;
class TQtDialogs;
class TUpdateCheckController;
class TWindowDialogs;

/// What the window is built with; the defaults are those of the running program.
struct TFrmMainOptions {
    /// The dialogs; null means the Qt dialogs of the program.
    TWindowDialogs* Dialogs = nullptr;
    /// The taskbar progress; null means the launcher entry where a session bus exists.
    std::unique_ptr<TTaskbarProgress> Taskbar;
    /// The settings file; empty means none is read or written.
    std::string SettingsPath;
};

/// The main window. It owns the engine and the jobs for the whole run; every slot reads the
/// panel into TPanelValues, calls the jobs and shows the outcome. Window thread only.
class TFrmMain final : public QWidget, public TJobHost {
    Q_OBJECT
public:
    explicit TFrmMain(TFrmMainOptions options = {});
    ~TFrmMain() override;

    // The jobs' host.
    void ShowStatus(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowErrorDialog(const std::string& text) override;
    void ShowProgressPanel(int32_t max, const std::string& caption) override;
    void SetProgressPosition(int32_t position) override;
    void SetProgressPaused(bool paused) override;
    void HideProgressPanel() override;
    /// Processes pending events, at most once every kPumpIntervalMs: the engine calls it on
    /// every few lines, and a repaint per call would slow a job down.
    void ProcessMessages() override;
    void DisableButtons() override;
    void EnableButtons() override;
    /// The panel values the Start handler reads.
    TPanelValues& Panel() { return FPanel; }
    /// Refreshes the fields after the recalculation changed panel values.
    void PanelValuesChanged();

    /// Switches the visible panels and does the side effects of leaving or entering Merge;
    /// leaving Merge also forgets the engine's input, which no panel shows any more.
    void ShowPanel(TPanel n);

    // Input selection.
    /// Chooses the input (one file, or a tile set in Merge) through the open dialog, or takes
    /// the name a drop put in (DroppedFile), and shows what the engine found.
    void sbInputClick();
    /// Chooses the output folder, or only clears DroppedFile after a dropped folder.
    void sbOutputFolderClick();
    void EditOutputFolderDblClick();
    void ClearInputInfoPanel();
    /// Files and folders dropped at clientPos (window coordinates), routed by the vertical
    /// bands of the input and output areas. Ignored while a job or a probe runs.
    void WMDropFiles(const std::vector<std::string>& paths, QPoint clientPos);
    /// Takes a file named on the command line as the input of the Convert panel. A file that
    /// cannot be opened is named in a message with the system's reason.
    void OpenStartupFile(const std::string& path);

    // Start, pause and abort.
    void btStartClick();
    void btPauseClick();
    void btAbortClick();

    /// True while a job or an input probe runs: nothing may start another or change input.
    bool Busy() const { return FBusy > 0 || Jobs.Running(); }
    /// The screen point of the abort confirmation's top-left corner.
    QPoint ConfirmPosition() const;

    /// Shortest time between two event pumps inside a job, in milliseconds.
    static constexpr int kPumpIntervalMs = 30;

    TTavmor Tavmor;
    TJobs Jobs;
    TStartHandler Start;
    bool DroppedFile = false;
    TSetup Setup;

    // Controls, named as in the rest of the program.
    QWidget* PButtons = nullptr;
    QPushButton* btConvert = nullptr;
    QPushButton* btCrop = nullptr;
    QPushButton* btResize = nullptr;
    QPushButton* btSplit = nullptr;
    QPushButton* btMerge = nullptr;
    QPushButton* btAbout = nullptr;

    QWidget* PInput = nullptr;
    QLabel* lbInputFile = nullptr;
    QLineEdit* EditInputFile = nullptr;
    QPushButton* sbInput = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* lbInfo = nullptr; ///< the information box's centred header
    QLabel* lbFileSize = nullptr;
    QLabel* lbWidth = nullptr;
    QLabel* lbHeight = nullptr;
    QLabel* lbBits = nullptr;
    QLabel* lbChannels = nullptr;
    QLabel* lbImage = nullptr;

    QWidget* PMain = nullptr;
    QWidget* PConvert = nullptr;
    QWidget* PCrop = nullptr;
    QWidget* PResize = nullptr;
    QWidget* PSplit = nullptr;
    QWidget* PMerge = nullptr;
    TNumberEdit* EditCropX = nullptr;
    TNumberEdit* EditCropY = nullptr;
    TNumberEdit* EditCropW = nullptr;
    TNumberEdit* EditCropH = nullptr;
    TNumberEdit* jvResizeW = nullptr;
    TNumberEdit* jvResizeH = nullptr;
    QRadioButton* rbFastResize = nullptr;
    QRadioButton* rbSlowResize = nullptr;
    TNumberEdit* jvSplitWidth = nullptr;
    TNumberEdit* jvSplitHeight = nullptr;
    TNumberEdit* jvSplitX = nullptr;
    TNumberEdit* jvSplitY = nullptr;
    TNumberEdit* jvMergeX = nullptr;
    TNumberEdit* jvMergeY = nullptr;

    QWidget* POutput = nullptr;
    QRadioButton* rbTif = nullptr;
    QRadioButton* rbTifLzw = nullptr;
    QRadioButton* rbRaw = nullptr;
    QRadioButton* rbKro = nullptr;
    QLineEdit* EditOutputFolder = nullptr;
    QPushButton* sbOutputFolder = nullptr;
    QPushButton* btStart = nullptr;

    QWidget* PAbout = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lbAboutInfo = nullptr;
    QLabel* lbAboutHomepage = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* cbCheckForUpdates = nullptr;
    QLabel* lbNewVersion = nullptr;
    TUpdateCheckController* UpdateCheck = nullptr;

    TProgressPanel* PProgress = nullptr;
    QStatusBar* StatusBar = nullptr;

    /// The open dialog's single file name (the chosen or dropped input).
    std::string OpenFileName;
    /// The open dialog allows several files (panel 5).
    bool MultiSelect = false;
    /// The taskbar progress in use.
    TTaskbarProgress& Taskbar() { return *FTaskbar; }
    TWindowDialogs& Dialogs() { return *FDialogs; }

protected:
    /// Closing while a job runs asks the abort confirmation: Yes aborts the job, which
    /// cleans up, and the window closes after it; No keeps it running. Otherwise the
    /// settings are saved (FormClose).
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// An enlarged window stretches the input and output fields and the information box to
    /// its width and keeps the status bar at its bottom; the rest keeps its place.
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildButtons();
    void BuildInput();
    void BuildPanels();
    void BuildOutput();
    void BuildAbout();
    /// Ctrl+O, Ctrl+1 to Ctrl+5, Ctrl+Return and Escape (MainKeys.cpp).
    void BuildShortcuts();
    /// What every button and field does, shown when the pointer rests on it (MainKeys.cpp).
    void SetToolTips();
    /// Ctrl+O: the input dialog, from the Convert panel when the About panel is shown.
    void OpenInputShortcut();
    /// Copies the numeric fields into FPanel.
    void ReadFields();
    /// Copies every control the jobs read into FPanel.
    void ReadPanel();
    /// The change handler of the recalculated fields.
    void FieldChanged(TPanelField field);
    void SelectTileSet();
    void SelectSingleFile();
    void ShowInputInfo();
    void FormClose();
    /// Shows the status text kept by ShowStatus, if it changed.
    void FlushStatus();

    TPanelValues FPanel;
    std::unique_ptr<TQtDialogs> FOwnDialogs;
    TWindowDialogs* FDialogs = nullptr;
    std::unique_ptr<TTaskbarProgress> FTaskbar;
    QElapsedTimer FPumpClock;
    std::string FStatusText;
    bool FStatusPending = false;
    int FBusy = 0;
    bool FRefreshing = false;
    bool FCloseAfterJob = false;
    bool FSetupLoaded = false;
};
