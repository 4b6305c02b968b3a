// Jobs run from the window: one full job of each operation, and the progress panel's life
// cycle with pause, continue, abort answered No and Yes, closing during a job and clicks
// that arrive through the job's message pump.
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "WindowFakes.h"
#include "app/NumberEdit.h"
#include "app/Progress.h"
#include "support/TestImages.h"

using TestImages::PatternImage;
using TestImages::ReadImage;
using TestImages::SamePixels;
using TestImages::TPixels;
using TestImages::TTempDir;
using TestImages::WithChannels;

namespace {

/// A window with an input folder holding one image and an empty output folder.
struct TJobFixture : TWindowFixture {
    TTempDir In;
    TTempDir Out;
    TPixels Image;
    std::string Input;

    explicit TJobFixture(uint32_t width = 64, uint32_t height = 700)
        : Image(PatternImage(width, height, 8, 3))
        , Input(In.File("photo.tif"))
    {
        EXPECT_TRUE(TestImages::WriteTiff(Input, Image));
        W().ShowPanel(TPanel::Convert);
        ChooseInput(Input);
        W().EditOutputFolder->setText(QString::fromStdString(Out.Path()));
    }
    /// Runs fn once, at the first progress position at or past `at`.
    void AtPosition(int32_t at, std::function<void()> fn)
    {
        Taskbar.OnPosition = [at, fn, done = false](int32_t position) mutable {
            if (!done && position >= at) {
                done = true;
                fn();
            }
        };
    }
    /// After ms milliseconds of the job's message pump (while paused, for instance).
    void After(int ms, std::function<void()> fn) { QTimer::singleShot(ms, Window.get(), fn); }
};

} // namespace

TEST(WindowJobs, ConvertWritesTheWholeImageInTheChosenFormat)
{
    TJobFixture f(40, 30);
    f.W().rbKro->setChecked(true);
    f.W().btStart->click();
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    EXPECT_EQ(f.Out.Names(), std::vector<std::string> { "photo.kro" });
    const auto out = ReadImage(f.Out.File("photo.kro"));
    ASSERT_TRUE(out);
    EXPECT_TRUE(SamePixels(WithChannels(f.Image, 4), *out));
    EXPECT_TRUE(f.Dialogs.Engine.All.empty());
    EXPECT_TRUE(f.W().PProgress->isHidden());
    EXPECT_TRUE(f.W().btConvert->isEnabled());
}

TEST(WindowJobs, CropWritesTheRectangleOrRefusesIt)
{
    TJobFixture f(40, 30);
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Crop);
    w.EditCropX->setText("40");
    w.btStart->click();
    EXPECT_EQ(f.Dialogs.Engine.Messages, std::vector<std::string> { "X must >= 0 and < 40" });
    EXPECT_EQ(f.Status(), "Operation aborted");
    EXPECT_TRUE(f.Out.Names().empty());
    EXPECT_TRUE(f.Taskbar.Maximums.empty()); // the progress panel never showed

    w.EditCropX->setText("5");
    w.EditCropY->setText("4");
    w.EditCropW->setText("10");
    w.EditCropH->setText("6");
    w.btStart->click();
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    ASSERT_EQ(f.Out.Names(), std::vector<std::string> { "photo.tif" });
    const auto out = ReadImage(f.Out.File("photo.tif"));
    ASSERT_TRUE(out);
    EXPECT_TRUE(SamePixels(TestImages::CropOf(f.Image, 5, 4, 10, 6), *out));
}

TEST(WindowJobs, SplitThenMergeGivesTheImageBack)
{
    TJobFixture f(600, 300);
    TFrmMain& w = f.W();
    w.btSplit->click();
    w.jvSplitWidth->setText("256");
    w.jvSplitHeight->setText("256");
    EXPECT_EQ(w.jvSplitX->Value(), 3);
    EXPECT_EQ(w.jvSplitY->Value(), 2);
    w.btStart->click();
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    const std::vector<std::string> tiles = { "photo_256X256_x1y1.tif", "photo_256X256_x2y1.tif",
        "photo_256X44_x1y2.tif", "photo_256X44_x2y2.tif", "photo_88X256_x3y1.tif",
        "photo_88X44_x3y2.tif" };
    ASSERT_EQ(f.Out.Names(), tiles);

    w.ShowPanel(TPanel::Merge);
    std::vector<std::string> paths;
    for (const std::string& t : tiles) {
        paths.push_back(f.Out.File(t));
    }
    f.ChooseTiles(paths);
    EXPECT_EQ(w.jvMergeX->Value(), 3);
    EXPECT_EQ(w.jvMergeY->Value(), 2);
    w.EditOutputFolder->setText(QString::fromStdString(f.In.Path()));
    w.rbRaw->setChecked(true);
    w.btStart->click();
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    const std::string merged = f.In.File("photo_600X300.raw");
    const auto out = ReadImage(merged, 8);
    ASSERT_TRUE(out);
    EXPECT_TRUE(SamePixels(f.Image, *out));
}

TEST(WindowJobs, MergeRefusesASelectionThatDoesNotFitTheGrid)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    const std::vector<std::string> six = { "/t/a_X1Y1.tif", "/t/a_X2Y1.tif", "/t/a_X3Y1.tif",
        "/t/a_X1Y2.tif", "/t/a_X2Y2.tif", "/t/a_X3Y2.tif" };
    f.ChooseTiles(six);
    ASSERT_EQ(w.jvMergeX->Value(), 3);
    // A second, smaller selection is refused but stays; the grid keeps 3 x 2.
    f.Dialogs.OpenAnswers.push_back({ six.begin(), six.end() - 1 });
    w.sbInputClick();
    w.btStart->click();
    ASSERT_EQ(f.Dialogs.Engine.Messages.size(), 2u);
    EXPECT_EQ(
        f.Dialogs.Engine.Messages[1], "One or more files are missing.\r\nPlease select 6 files");
    EXPECT_EQ(f.Status(), "Operation aborted");

    std::vector<std::string> seven = six;
    seven.push_back("/t/a_X1Y1.tif");
    f.Dialogs.OpenAnswers.push_back(seven);
    w.sbInputClick();
    w.btStart->click();
    EXPECT_EQ(
        f.Dialogs.Engine.Messages.back(), "Too many files selected.\r\nPlease select 6 files");
    EXPECT_EQ(f.Status(), "Operation aborted");
}

TEST(WindowJobs, ResizeWritesTheImageAtTheTargetWidth)
{
    TJobFixture f(10000, 20);
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Resize);
    // The height shown is the one of the chosen input.
    EXPECT_EQ(w.jvResizeH->Value(), 2);
    w.rbFastResize->setChecked(true);
    w.btStart->click();
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    ASSERT_EQ(f.Out.Names(), std::vector<std::string> { "photo.tif" });
    const auto out = ReadImage(f.Out.File("photo.tif"));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Width, 1000u);
    EXPECT_EQ(out->Height, 2u);
}

TEST(WindowJobs, PauseHoldsTheJobAndContinueResumesIt)
{
    TJobFixture f;
    TFrmMain& w = f.W();
    int32_t heldAt = -1;
    bool checked = false;
    f.AtPosition(70, [&] {
        w.PProgress->btPause->click();
        heldAt = w.PProgress->PBStatus->Position();
        EXPECT_EQ(w.PProgress->btPause->text().toStdString(), "Continue");
        EXPECT_TRUE(w.PProgress->ShowsPausedColour());
        EXPECT_EQ(f.Taskbar.States.back(), TTaskbarState::Paused);
        f.After(150, [&] {
            // Still held where it was paused.
            EXPECT_EQ(w.PProgress->PBStatus->Position(), heldAt);
            EXPECT_FALSE(w.PProgress->isHidden());
            checked = true;
            w.PProgress->btPause->click();
            EXPECT_EQ(w.PProgress->btPause->text().toStdString(), "Pause");
            EXPECT_FALSE(w.PProgress->ShowsPausedColour());
        });
    });
    w.btStart->click();
    EXPECT_TRUE(checked);
    EXPECT_GE(heldAt, 70);
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    EXPECT_EQ(f.Out.Names(), std::vector<std::string> { "photo.tif" });
    EXPECT_TRUE(w.PProgress->isHidden());
    EXPECT_EQ(f.Taskbar.States.front(), TTaskbarState::Normal);
    EXPECT_EQ(f.Taskbar.States.back(), TTaskbarState::NoProgress);
    EXPECT_EQ(f.Taskbar.Maximums, std::vector<int32_t> { 700 });
}

TEST(WindowJobs, AbortAnsweredNoLetsTheJobFinish)
{
    TJobFixture f;
    TFrmMain& w = f.W();
    f.Dialogs.ConfirmAnswers = { false };
    f.AtPosition(70, [&] { w.PProgress->btAbort->click(); });
    w.btStart->click();
    ASSERT_EQ(f.Dialogs.ConfirmPoints.size(), 1u);
    EXPECT_EQ(f.Dialogs.ConfirmPoints[0], QPoint(w.x() + 20, w.y() + 100));
    EXPECT_FALSE(w.Tavmor.Abort);
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    EXPECT_EQ(f.Out.Names(), std::vector<std::string> { "photo.tif" });
}

TEST(WindowJobs, AbortAnsweredYesWhilePausedStopsAndLeavesNothing)
{
    TJobFixture f;
    TFrmMain& w = f.W();
    f.Dialogs.ConfirmAnswers = { true };
    f.AtPosition(70, [&] {
        w.PProgress->btPause->click();
        f.After(100, [&] { w.PProgress->btAbort->click(); });
    });
    w.btStart->click();
    EXPECT_EQ(f.Dialogs.ConfirmPoints.size(), 1u);
    EXPECT_EQ(f.Status(), "Operation aborted");
    EXPECT_TRUE(f.Out.Names().empty());
    EXPECT_TRUE(w.PProgress->isHidden());
    EXPECT_EQ(f.Taskbar.States.back(), TTaskbarState::NoProgress);

    // The next job starts with the running presentation again.
    bool checked = false;
    f.AtPosition(7, [&] {
        EXPECT_EQ(w.PProgress->btPause->text().toStdString(), "Pause");
        EXPECT_FALSE(w.PProgress->ShowsPausedColour());
        EXPECT_EQ(f.Taskbar.States.back(), TTaskbarState::Normal);
        checked = true;
    });
    w.btStart->click();
    EXPECT_TRUE(checked);
    EXPECT_EQ(f.Status(), "Operation completed successfully");
}

TEST(WindowJobs, ClosingDuringAJobAsksAndClosesOnlyAfterTheJobCleanedUp)
{
    struct Case {
        const char* Name;
        bool Answer;
        bool StillOpen;
        std::vector<std::string> Output;
    };
    const Case cases[] = {
        { "yes", true, false, {} },
        { "no", false, true, { "photo.tif" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TJobFixture f;
        TFrmMain& w = f.W();
        w.show();
        f.Dialogs.ConfirmAnswers = { c.Answer };
        f.AtPosition(70, [&] {
            w.close();
            // Nothing closes under the running job.
            EXPECT_TRUE(w.isVisible());
        });
        w.btStart->click();
        QCoreApplication::processEvents();
        EXPECT_EQ(f.Dialogs.ConfirmPoints.size(), 1u);
        EXPECT_EQ(w.isVisible(), c.StillOpen);
        EXPECT_EQ(f.Out.Names(), c.Output);
    }
}

TEST(WindowJobs, ClicksAndDropsInsideARunningJobChangeNothing)
{
    TJobFixture f;
    TFrmMain& w = f.W();
    TTempDir other;
    const std::string second = other.File("second.tif");
    ASSERT_TRUE(TestImages::WriteTiff(second, PatternImage(5, 5, 8, 3)));
    f.AtPosition(70, [&] {
        // The buttons are disabled; call the handlers as a queued click would reach them.
        w.btStartClick();
        f.Dialogs.OpenAnswers.push_back({ second });
        w.sbInputClick();
        w.WMDropFiles({ second }, QPoint(100, 120));
        w.WMDropFiles({ other.Path() }, QPoint(100, 500));
        w.ShowPanel(TPanel::Merge);
        w.btAbout->click();
    });
    w.btStart->click();
    EXPECT_EQ(f.Taskbar.Maximums.size(), 1u); // one job only
    EXPECT_EQ(f.Dialogs.OpenCount, 1); // the fixture's own choice of the input
    EXPECT_EQ(w.Tavmor.InInfo.FileName, f.Input);
    EXPECT_EQ(w.EditInputFile->text().toStdString(), "photo.tif");
    EXPECT_EQ(w.EditOutputFolder->text().toStdString(), f.Out.Path());
    EXPECT_EQ(w.Panel().CurrentPanel, TPanel::Convert);
    EXPECT_EQ(f.Status(), "Operation completed successfully");
    const auto out = ReadImage(f.Out.File("photo.tif"));
    ASSERT_TRUE(out);
    EXPECT_TRUE(SamePixels(f.Image, *out));
    // Afterwards the same drop is taken.
    w.WMDropFiles({ second }, QPoint(100, 120));
    EXPECT_EQ(w.EditInputFile->text().toStdString(), "second.tif");
}

TEST(WindowJobs, StartWithoutAnInputReportsTheEnginesMessage)
{
    TWindowFixture f;
    f.W().ShowPanel(TPanel::Convert);
    f.W().btStart->click();
    EXPECT_EQ(f.Dialogs.Engine.Messages, std::vector<std::string> { "File not found" });
    EXPECT_EQ(f.Status(), "Operation aborted");
}

TEST(WindowJobs, AfterLeavingMergeStartRefusesAsWithoutAnInput)
{
    // Every panel shows an empty input after Merge; no job may run on the one chosen before.
    struct Case {
        const char* Name;
        std::vector<TPanel> Path; ///< panels shown after Merge
        std::vector<std::string> Messages;
    };
    const Case cases[] = {
        { "merge, convert", { TPanel::Convert }, { "File not found" } },
        { "merge, about, convert", { TPanel::About, TPanel::Convert }, { "File not found" } },
        { "merge, crop", { TPanel::Crop }, { "X must >= 0 and < 0" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TJobFixture f(40, 30);
        TFrmMain& w = f.W();
        w.ShowPanel(TPanel::Merge);
        for (TPanel p : c.Path) {
            w.ShowPanel(p);
        }
        ASSERT_EQ(w.EditInputFile->text().toStdString(), "");
        w.btStart->click();
        EXPECT_EQ(f.Dialogs.Engine.Messages, c.Messages);
        EXPECT_EQ(f.Status(), "Operation aborted");
        EXPECT_TRUE(f.Out.Names().empty());
        EXPECT_EQ(f.In.Names(), std::vector<std::string> { "photo.tif" });
        EXPECT_FALSE(w.Tavmor.InInfo.ImageIsOk);
        // Choosing the input again makes the panel work as before.
        f.Dialogs.Engine.Messages.clear();
        f.ChooseInput(f.Input);
        w.btStart->click();
        EXPECT_EQ(f.Status(), "Operation completed successfully");
        EXPECT_EQ(f.Out.Names(), std::vector<std::string> { "photo.tif" });
    }
}
