// The main window's keyboard shortcuts and tooltips: every shortcut acts through the control
// it stands for, so a control that is disabled (during a job or a probe) stops its key too.
#include <functional>
#include <iterator>

#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include "app/Main.h"
#include "app/MainTexts.h"
#include "app/NumberEdit.h"
#include "app/Progress.h"

namespace {

/// A shortcut of the whole window: it works whichever control has the focus, and not while
/// a dialog of the window is open.
void AddShortcut(QWidget* window, const QKeySequence& keys, const std::function<void()>& action)
{
    auto* shortcut = new QShortcut(keys, window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, action);
}

} // namespace

void TFrmMain::BuildShortcuts()
{
    AddShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OpenInputShortcut(); });
    QPushButton* const panelButtons[] = { btConvert, btCrop, btResize, btSplit, btMerge };
    const Qt::Key digits[] = { Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5 };
    for (size_t i = 0; i < std::size(digits); ++i) {
        QPushButton* button = panelButtons[i];
        AddShortcut(this, QKeySequence(Qt::CTRL | digits[i]), [button] { button->click(); });
    }
    // Return on the main keyboard and Enter on the keypad.
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter }) {
        AddShortcut(this, QKeySequence(Qt::CTRL | key), [this] {
            if (btStart->isVisibleTo(this)) {
                btStart->click();
            }
        });
    }
    // Escape asks, as the Abort button does; without a running job it does nothing.
    AddShortcut(this, QKeySequence(Qt::Key_Escape), [this] {
        if (Jobs.Running()) {
            btAbortClick();
        }
    });
}

void TFrmMain::OpenInputShortcut()
{
    if (!sbInput->isEnabled()) {
        return;
    }
    if (!sbInput->isVisibleTo(this)) {
        ShowPanel(TPanel::Convert);
    }
    sbInput->click();
}

void TFrmMain::SetToolTips()
{
    const struct {
        QWidget* Control;
        const char* Tip;
    } tips[] = {
        { btConvert, MainText::TipConvert },
        { btCrop, MainText::TipCrop },
        { btResize, MainText::TipResize },
        { btSplit, MainText::TipSplit },
        { btMerge, MainText::TipMerge },
        { btAbout, MainText::TipAbout },
        { EditInputFile, MainText::TipInputFile },
        { sbInput, MainText::TipBrowseInput },
        { EditCropX, MainText::TipCropX },
        { EditCropY, MainText::TipCropY },
        { EditCropW, MainText::TipCropW },
        { EditCropH, MainText::TipCropH },
        { jvResizeW, MainText::TipResizeW },
        { jvResizeH, MainText::TipResizeH },
        { rbFastResize, MainText::TipFastResize },
        { rbSlowResize, MainText::TipSlowResize },
        { jvSplitWidth, MainText::TipSplitW },
        { jvSplitHeight, MainText::TipSplitH },
        { jvSplitX, MainText::TipSplitX },
        { jvSplitY, MainText::TipSplitY },
        { jvMergeX, MainText::TipMergeX },
        { jvMergeY, MainText::TipMergeY },
        { rbTif, MainText::TipTif },
        { rbTifLzw, MainText::TipTifLzw },
        { rbRaw, MainText::TipRaw },
        { rbKro, MainText::TipKro },
        { EditOutputFolder, MainText::TipOutputFolder },
        { sbOutputFolder, MainText::TipBrowseOutput },
        { btStart, MainText::TipStart },
        { lbAboutHomepage, MainText::TipHomePage },
        { Button1, MainText::TipCheckNow },
        { cbCheckForUpdates, MainText::TipAutoCheck },
        { PProgress->btPause, MainText::TipPause },
        { PProgress->btAbort, MainText::TipAbort },
    };
    for (const auto& t : tips) {
        t.Control->setToolTip(QString::fromUtf8(t.Tip));
    }
}
