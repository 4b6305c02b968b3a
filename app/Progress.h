// The progress panel shown over the operation area while a job runs: caption, green gauge
// with its percentage, Pause/Continue and Abort.
#pragma once

#include <cstdint>

#include <QFrame>
#include <QWidget>

class QLabel;
class QPushButton;

/// A horizontal bar filled in green on white, with the percentage written in its middle.
class TGauge final : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    void SetMaximum(int32_t max);
    void SetPosition(int32_t position);
    int32_t Maximum() const { return FMax; }
    int32_t Position() const { return FPosition; }
    /// Whole percent of the position against the maximum, 0..100 (0 without a maximum).
    int Percent() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int32_t FMax = 100;
    int32_t FPosition = 0;
};

/// PProgress: white with a raised bevel; grey while paused. The window connects the buttons.
class TProgressPanel final : public QFrame {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent = nullptr);

    /// White (running) or grey 216 (paused) background.
    void SetPausedColour(bool paused);
    bool ShowsPausedColour() const { return FPausedColour; }

    QLabel* lbHeader = nullptr;
    QLabel* lbStatusDescr = nullptr;
    TGauge* PBStatus = nullptr;
    QPushButton* btPause = nullptr;
    QPushButton* btAbort = nullptr;

private:
    bool FPausedColour = false;
};
