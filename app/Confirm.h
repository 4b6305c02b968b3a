// The small stay-on-top dialog that asks whether to abort the running operation.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/// Modal results of the confirmation, as the rest of the program compares them.
inline constexpr int kModalYes = 6;
inline constexpr int kModalNo = 7;

class TFrmConfirm final : public QDialog {
    Q_OBJECT
public:
    explicit TFrmConfirm(QWidget* parent = nullptr);

    /// Places the dialog's top-left corner (its frame) at the screen point (x, y), which may
    /// be negative, and shows it modally. Returns kModalYes for Yes (also Enter) and
    /// kModalNo for No, Escape or the close box. Window thread only.
    int CenterAndShow(int x, int y);

    QLabel* lbQuestion = nullptr;
    QPushButton* btYes = nullptr;
    QPushButton* btNo = nullptr;
};
