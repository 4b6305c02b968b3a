// Drawing of the gauge and layout of the progress panel.
#include "app/Progress.h"

#include <algorithm>

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/MainTexts.h"
#include "app/PanelColours.h"

namespace {
const QColor kGaugeGreen(0, 224, 0);
const QColor kPausedGrey(216, 216, 216);
const QColor kHeaderGrey(160, 160, 160);
} // namespace

TGauge::TGauge(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGauge::SetMaximum(int32_t max)
{
    FMax = max;
    update();
}

void TGauge::SetPosition(int32_t position)
{
    if (position == FPosition) {
        return;
    }
    FPosition = position;
    // Coalesced by Qt: the bar is painted when the window next processes its events.
    update();
}

int TGauge::Percent() const
{
    if (FMax <= 0) {
        return 0;
    }
    const int64_t p = std::clamp<int64_t>(FPosition, 0, FMax);
    return static_cast<int>(p * 100 / FMax);
}

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, Qt::white);
    int filled = 0;
    if (FMax > 0) {
        const int64_t p = std::clamp<int64_t>(FPosition, 0, FMax);
        filled = static_cast<int>(p * (all.width() - 2) / FMax);
    }
    painter.fillRect(QRect(1, 1, filled, all.height() - 2), kGaugeGreen);
    painter.setPen(Qt::black);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(all, Qt::AlignCenter, QString::number(Percent()) + QLatin1Char('%'));
}

TProgressPanel::TProgressPanel(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    SetPausedColour(false);

    lbHeader = new QLabel(MainText::ProgressInfo, this);
    lbHeader->setGeometry(2, 2, 373, 20);
    lbHeader->setAlignment(Qt::AlignCenter);
    lbHeader->setAutoFillBackground(true);
    QPalette header = lbHeader->palette();
    header.setColor(QPalette::Window, kHeaderGrey);
    // Dark on the medium grey: white text would be too faint on it.
    header.setColor(QPalette::WindowText, kPanelText);
    lbHeader->setPalette(header);
    QFont bold = lbHeader->font();
    bold.setBold(true);
    lbHeader->setFont(bold);

    lbStatusDescr = new QLabel(this);
    lbStatusDescr->setGeometry(12, 40, 353, 18);
    lbStatusDescr->setAlignment(Qt::AlignCenter);

    PBStatus = new TGauge(this);
    PBStatus->setGeometry(20, 72, 337, 28);

    btPause = new QPushButton(MainText::Pause, this);
    btPause->setGeometry(20, 142, 96, 30);
    btAbort = new QPushButton(MainText::Abort, this);
    btAbort->setGeometry(261, 142, 96, 30);
}

void TProgressPanel::SetPausedColour(bool paused)
{
    FPausedColour = paused;
    PaintFixedPanel(this, paused ? kPausedGrey : QColor(Qt::white));
}
