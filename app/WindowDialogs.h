// Every modal dialog the window opens, behind one interface: the engine's message boxes and
// questions, the open and folder dialogs and the abort confirmation. Tests replace it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/EngineDialogs.h"

class QWidget;
class TFrmConfirm;
class TFrmRawInfo;

/// The window's dialogs. Every call blocks until answered; window thread only.
class TWindowDialogs : public TEngineDialogs {
public:
    /// The open dialog for one input file, or several with `multiple`. Fills `names` with
    /// full paths in the dialog's order; false when cancelled.
    virtual bool ChooseInputFiles(bool multiple, std::vector<std::string>& names) = 0;
    /// The browse-for-folder dialog, opened in `start`. False when cancelled.
    virtual bool ChooseFolder(const std::string& start, std::string& folder) = 0;
    /// The abort confirmation with its top-left corner at the screen point (x, y); true for
    /// Yes.
    virtual bool ConfirmAbort(int x, int y) = 0;
};

/// The dialogs of the running program: Qt message boxes and file dialogs, TFrmRawInfo and
/// TFrmConfirm (created in that order, once, with the main window as their parent).
class TQtDialogs final : public TWindowDialogs {
public:
    /// `owner` is the main window; the dialogs are centred on it and live as long as it.
    explicit TQtDialogs(QWidget* owner);
    ~TQtDialogs() override;

    void ShowMessage(const std::string& text) override;
    void ShowErrorDialog(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskRawParameters(int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits,
        TRawParameters& answer) override;
    bool ChooseInputFiles(bool multiple, std::vector<std::string>& names) override;
    bool ChooseFolder(const std::string& start, std::string& folder) override;
    bool ConfirmAbort(int x, int y) override;

    TFrmConfirm& FrmConfirm() { return *FConfirm; }
    TFrmRawInfo& FrmRawInfo() { return *FRawInfo; }

private:
    QWidget* FOwner;
    std::unique_ptr<TFrmRawInfo> FRawInfo;
    std::unique_ptr<TFrmConfirm> FConfirm;
    std::string FOpenDirectory; ///< the folder the open dialog showed last
};
