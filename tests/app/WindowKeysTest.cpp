// The window from the keyboard: Ctrl+O, Ctrl+1 to Ctrl+5, Ctrl+Return and Escape act as the
// controls they stand for, and every button and field says what it does in its tooltip.
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "WindowFakes.h"
#include "app/Confirm.h"
#include "app/Progress.h"
#include "app/RawInfo.h"
#include "engine/TavmorUtils.h"
#include "support/TestImages.h"

using TestImages::PatternImage;
using TestImages::TTempDir;

namespace {

/// Shows the window and makes it the active one, as shortcuts need.
void Activate(TFrmMain& w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

void Press(TFrmMain& w, QKeyCombination keys)
{
    // To whichever control has the focus, as the keyboard would.
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
    QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
}

std::string NameOf(const QWidget* w)
{
    std::string name = w->metaObject()->className();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        name += " \"" + b->text().toStdString() + "\"";
    }
    return name + " " + w->objectName().toStdString();
}

/// Every button and field under root, and how many there were.
int ExpectToolTips(const QWidget* root)
{
    int controls = 0;
    const QList<QWidget*> all = root->findChildren<QWidget*>();
    for (const QWidget* w : all) {
        if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w)) {
            ++controls;
            EXPECT_FALSE(w->toolTip().isEmpty()) << NameOf(w);
        }
    }
    return controls;
}

} // namespace

TEST(WindowKeys, CtrlDigitsSwitchPanelsAsTheirButtonsDo)
{
    struct Case {
        const char* Name;
        Qt::Key Digit;
        TPanel Panel;
    };
    const Case cases[] = {
        { "Ctrl+1", Qt::Key_1, TPanel::Convert },
        { "Ctrl+2", Qt::Key_2, TPanel::Crop },
        { "Ctrl+3", Qt::Key_3, TPanel::Resize },
        { "Ctrl+4", Qt::Key_4, TPanel::Split },
        { "Ctrl+5", Qt::Key_5, TPanel::Merge },
    };
    TWindowFixture f;
    TFrmMain& w = f.W();
    Activate(w);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        w.ShowPanel(TPanel::About);
        w.cbCheckForUpdates->setFocus(); // the control with the focus does not keep the key
        Press(w, Qt::CTRL | c.Digit);
        EXPECT_EQ(w.Panel().CurrentPanel, c.Panel);
    }
    // While a job runs the buttons are disabled, and so are their keys.
    w.ShowPanel(TPanel::Convert);
    w.DisableButtons();
    Press(w, Qt::CTRL | Qt::Key_2);
    EXPECT_EQ(w.Panel().CurrentPanel, TPanel::Convert);
}

TEST(WindowKeys, CtrlOOpensTheInputDialogOfThePanel)
{
    struct Case {
        const char* Name;
        TPanel From;
        TPanel Then; ///< the panel the dialog is opened for
        bool Multiple;
    };
    const Case cases[] = {
        { "convert", TPanel::Convert, TPanel::Convert, false },
        { "split", TPanel::Split, TPanel::Split, false },
        { "merge: the tiles", TPanel::Merge, TPanel::Merge, true },
        { "about: from the Convert panel", TPanel::About, TPanel::Convert, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowFixture f;
        TFrmMain& w = f.W();
        Activate(w);
        w.ShowPanel(c.From);
        Press(w, Qt::CTRL | Qt::Key_O);
        EXPECT_EQ(f.Dialogs.OpenCount, 1);
        EXPECT_EQ(f.Dialogs.LastOpenMultiple, c.Multiple);
        EXPECT_EQ(w.Panel().CurrentPanel, c.Then);
    }
}

TEST(WindowKeys, CtrlReturnStartsAndEscapeAsksToAbort)
{
    TTempDir in;
    TTempDir out;
    const std::string input = in.File("photo.tif");
    ASSERT_TRUE(TestImages::WriteTiff(input, PatternImage(64, 700, 8, 3)));
    TWindowFixture f;
    TFrmMain& w = f.W();
    Activate(w);

    // No job: Escape asks nothing; on the About panel Ctrl+Return starts nothing.
    Press(w, Qt::Key_Escape);
    Press(w, Qt::CTRL | Qt::Key_Return);
    EXPECT_TRUE(f.Dialogs.ConfirmPoints.empty());
    EXPECT_TRUE(f.Taskbar.Maximums.empty());

    w.ShowPanel(TPanel::Convert);
    f.ChooseInput(input);
    w.EditOutputFolder->setText(QString::fromStdString(out.Path()));
    Press(w, Qt::CTRL | Qt::Key_Return);
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    EXPECT_EQ(out.Names(), std::vector<std::string> { "photo.tif" });
    EXPECT_TRUE(f.Dialogs.Engine.All.empty());

    // During the next job Escape brings up the confirmation; Yes stops it. The keypad's
    // Enter starts as Return does.
    ASSERT_TRUE(DeleteFileAt(out.File("photo.tif")));
    f.Dialogs.ConfirmAnswers = { true };
    bool pressed = false;
    f.Taskbar.OnPosition = [&](int32_t position) {
        if (!pressed && position >= 70) {
            pressed = true;
            Press(w, Qt::Key_Escape);
        }
    };
    Press(w, Qt::CTRL | Qt::Key_Enter);
    ASSERT_EQ(f.Dialogs.ConfirmPoints.size(), 1u);
    EXPECT_EQ(f.Dialogs.ConfirmPoints[0], QPoint(w.x() + 20, w.y() + 100));
    EXPECT_EQ(f.Status(), "Operation aborted");
    EXPECT_TRUE(out.Names().empty());
}

TEST(WindowKeys, EveryButtonAndFieldSaysWhatItDoes)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    // Buttons, "..." buttons, numeric and path fields, radio buttons, the check box and the
    // progress panel's buttons.
    EXPECT_GE(ExpectToolTips(&w), 30);
    EXPECT_FALSE(w.lbAboutHomepage->toolTip().isEmpty());
    TFrmRawInfo rawInfo(&w);
    EXPECT_EQ(ExpectToolTips(&rawInfo), 6);
    TFrmConfirm confirm(&w);
    EXPECT_EQ(ExpectToolTips(&confirm), 2);

    // The input field names the chosen file in full, and says what it is for when empty.
    TTempDir dir;
    const std::string image = dir.File("named.tif");
    ASSERT_TRUE(TestImages::WriteTiff(image, PatternImage(4, 4, 8, 3)));
    w.ShowPanel(TPanel::Convert);
    const QString empty = w.EditInputFile->toolTip();
    f.ChooseInput(image);
    EXPECT_EQ(w.EditInputFile->toolTip().toStdString(), image);
    w.ShowPanel(TPanel::Merge);
    EXPECT_NE(w.EditInputFile->toolTip(), empty);
    EXPECT_FALSE(w.EditInputFile->toolTip().isEmpty());
    w.ShowPanel(TPanel::Crop);
    EXPECT_EQ(w.EditInputFile->toolTip(), empty);
}
