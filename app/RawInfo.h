// The RAW parameters dialog: asks the user for the width, height and depth of a headerless
// RAW file whose name does not give them, deriving one side from the other as the user types.
#pragma once

#include <cstdint>

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QWidget;
struct TRawParameters;

/// The dialog `FrmRawInfo`. The main window creates one at start-up, with itself as the
/// parent, and reuses it for every RAW file: its controls keep their contents between uses
/// (the depth choice and, when the name gives no size, the width).
///
/// How the window uses it, inside its TEngineDialogs::AskRawParameters:
///
///     return FrmRawInfo->Ask(fileSize, width, height, bits, answer);
///
/// or, step by step: `Prepare(...)`, `exec() == QDialog::Accepted`, then read `ImgWidth`,
/// `ImgHeight` and `ChosenBits()`. The dialog never shows a message; a width and height
/// whose product is not the pixel count keep it open. Everything runs on the window's thread.
class TFrmRawInfo final : public QDialog {
    Q_OBJECT
public:
    /// Builds the controls. mainWindow (may be null in tests) is the window the dialog is
    /// placed against and its parent.
    explicit TFrmRawInfo(QWidget* mainWindow);

    /// Readies the dialog for a file of FileSize bytes: places it 20 pixels right of and
    /// below the main window's top-left corner, shows the size, recomputes the pixel count
    /// at the current depth, puts Width in the width field when Width and Height are both
    /// above 0 (else keeps the field's text), resets the height to "0" and derives from the
    /// width. Bits has no effect (the probe passes 0).
    void Prepare(int64_t FileSize, uint32_t Width, uint32_t Height, uint16_t Bits);

    /// Prepare, show modally, and on confirmation fill answer (width, height, 8 or 16 bits).
    /// False when the user cancelled or closed the dialog; answer is then all zero.
    [[nodiscard]] bool Ask(
        int64_t fileSize, uint32_t width, uint32_t height, uint16_t bits, TRawParameters& answer);

    /// 8 when RB8bit is checked, else 16.
    uint8_t ChosenBits() const;
    /// The pixel count the file holds at the chosen depth (three samples per pixel).
    int64_t GetNumPixel() const;

    /// Whether the key filter of the two size fields lets a key through. key is a Qt::Key;
    /// textLength and hasSelection describe the field before the key.
    static bool KeyPasses(int key, int textLength, bool hasSelection);

    // Handlers, named after control and event; public so the window's tests can drive them.
    void EdWidthChange();
    void EdHeightChange();
    void RB8bitChange();
    /// Confirm: closes confirmed only when width x height equals the pixel count.
    void SpeedButton1Click();
    /// Cancel: ImgWidth := ImgHeight := 0 and closes cancelled.
    void SpeedButton2Click();

    uint32_t ImgWidth = 0; ///< confirmed width; 0 after cancel
    uint32_t ImgHeight = 0; ///< confirmed height; 0 after cancel
    int64_t ImgFileSize = 0; ///< file size in bytes, from Prepare
    int64_t NumPixel = 0; ///< pixel count at the chosen depth

    QWidget* Panel1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lbl5 = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* lbl3 = nullptr;
    QLineEdit* edWidth = nullptr;
    QLabel* lbl6 = nullptr;
    QLineEdit* EdHeight = nullptr;
    QLabel* lbl13 = nullptr;
    QRadioButton* RB8bit = nullptr;
    QRadioButton* RB16bit = nullptr;
    QToolButton* SpeedButton2 = nullptr; ///< cancel (red cross)
    QToolButton* SpeedButton1 = nullptr; ///< confirm (green tick)

    /// The close box and every other way of rejecting count as cancel.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// There are no default or cancel keys: Enter and Escape do nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Derive(QLineEdit* field, QLineEdit* other);
    QWidget* MainWindow = nullptr;
};
