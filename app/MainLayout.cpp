// How the main window uses the room it gets when enlarged: the input and output fields and
// the information box stretch to its width, the status bar stays at its bottom, and the
// button row, operation panels, About panel and progress panel keep their places.
#include <algorithm>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>

#include "app/Main.h"
#include "app/MainGeometry.h"

using namespace MainGeometry;

namespace {

/// Widens `w` by `extra` pixels beyond its designed width.
void Stretch(QWidget* w, int designedWidth, int extra)
{
    w->resize(designedWidth + extra, w->height());
}

/// Moves `w` right by `extra` pixels from its designed left edge.
void Shift(QWidget* w, int designedX, int extra)
{
    w->move(designedX + extra, w->y());
}

} // namespace

void TFrmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (StatusBar == nullptr) {
        return; // still being built; the window is laid out again when it is shown
    }
    const int extra = std::max(width() - kClientWidth, 0);
    // The input and output areas are bands as wide as the window, holding what stretches.
    Stretch(PInput, kClientWidth, extra);
    Stretch(EditInputFile, kPathFieldWidth, extra);
    Shift(sbInput, kBrowseX, extra);
    Stretch(Panel4, kInfoWidth, extra);
    Stretch(lbInfo, kInfoWidth, extra);
    Stretch(POutput, kClientWidth, extra);
    Stretch(EditOutputFolder, kPathFieldWidth, extra);
    Shift(sbOutputFolder, kBrowseX, extra);
    StatusBar->setGeometry(0, height() - kStatusHeight, width(), kStatusHeight);
}
