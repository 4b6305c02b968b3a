// The main window without running jobs: the panel switch and its side effects, the enabled
// controls, the derived numbers as fields change, the information box, drops and the
// output folder.
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "WindowFakes.h"
#include "app/CheckVersionTh.h"
#include "app/NumberEdit.h"
#include "app/Progress.h"
#include "engine/TavmorUtils.h"
#include "support/TestImages.h"

using TestImages::PatternImage;
using TestImages::TTempDir;

namespace {

std::string Text(const QLabel* l)
{
    return l->text().toStdString();
}

std::string Text(const QLineEdit* e)
{
    return e->text().toStdString();
}

/// Writes a TIFF of the test pattern and returns its path.
std::string MakeTiff(
    const TTempDir& dir, const std::string& name, uint32_t w, uint32_t h, uint8_t bits = 8)
{
    const std::string path = dir.File(name);
    EXPECT_TRUE(TestImages::WriteTiff(path, PatternImage(w, h, bits, 3)));
    return path;
}

/// Replaces a field's text as a user would: select everything, then type.
void Type(QLineEdit* edit, const char* text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

TEST(MainWindow, StartsOnTheAboutPanelWithItsCaptionAndSize)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    EXPECT_EQ(w.windowTitle().toStdString(), "Tavmor Tools 2.1.0");
    EXPECT_EQ(w.size(), QSize(426, 608));
    EXPECT_EQ(w.minimumSize(), QSize(426, 608));
    EXPECT_EQ(w.font().pixelSize(), 11);
    EXPECT_EQ(w.Panel().CurrentPanel, TPanel::About);
    EXPECT_FALSE(w.PAbout->isHidden());
    EXPECT_TRUE(w.PInput->isHidden());
    EXPECT_TRUE(w.POutput->isHidden());
    EXPECT_TRUE(w.PProgress->isHidden());
    EXPECT_TRUE(w.lbNewVersion->isHidden());
    EXPECT_EQ(Text(w.lbAboutInfo), "Tavmor Tools 2.1.0");
    EXPECT_EQ(w.Jobs.NumOfCores, 1);
    for (const QLabel* l :
        { w.lbFileSize, w.lbWidth, w.lbHeight, w.lbBits, w.lbChannels, w.lbImage }) {
        EXPECT_EQ(Text(l), "-");
    }
    EXPECT_TRUE(w.rbTif->isChecked());
    EXPECT_TRUE(w.rbSlowResize->isChecked());
    EXPECT_EQ(w.jvSplitWidth->Maximum(), 1000000);
    EXPECT_EQ(w.jvSplitHeight->Maximum(), 1000000);
    EXPECT_EQ(w.PInput->geometry(), QRect(0, 80, 426, 153));
    EXPECT_EQ(w.POutput->geometry(), QRect(0, 443, 426, 146));
    EXPECT_EQ(w.PProgress->geometry(), QRect(25, 239, 377, 193));
}

TEST(MainWindow, ShowPanelShowsExactlyOnePanelAndSetsTheStartCaption)
{
    struct Case {
        const char* Name;
        TPanel Panel;
        const char* StartCaption;
        const char* InputLabel;
    };
    const Case cases[] = {
        { "convert", TPanel::Convert, "Start", "Input file" },
        { "crop", TPanel::Crop, "Start", "Input file" },
        { "resize", TPanel::Resize, "Start", "Input file" },
        { "split", TPanel::Split, "Split", "Input file" },
        { "merge", TPanel::Merge, "Merge", "Input files" },
        // The About panel keeps the caption of the panel before it (Merge here).
        { "about", TPanel::About, "Merge", "Input file" },
    };
    TWindowFixture f;
    TFrmMain& w = f.W();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        w.ShowPanel(c.Panel);
        const bool operation = c.Panel != TPanel::About;
        EXPECT_EQ(!w.PConvert->isHidden(), c.Panel == TPanel::Convert);
        EXPECT_EQ(!w.PCrop->isHidden(), c.Panel == TPanel::Crop);
        EXPECT_EQ(!w.PResize->isHidden(), c.Panel == TPanel::Resize);
        EXPECT_EQ(!w.PSplit->isHidden(), c.Panel == TPanel::Split);
        EXPECT_EQ(!w.PMerge->isHidden(), c.Panel == TPanel::Merge);
        EXPECT_EQ(!w.PAbout->isHidden(), !operation);
        EXPECT_EQ(!w.PInput->isHidden(), operation);
        EXPECT_EQ(!w.POutput->isHidden(), operation);
        EXPECT_EQ(w.btStart->text().toStdString(), c.StartCaption);
        EXPECT_EQ(Text(w.lbInputFile), c.InputLabel);
        EXPECT_EQ(w.Panel().CurrentPanel, c.Panel);
        EXPECT_EQ(w.MultiSelect, c.Panel == TPanel::Merge);
    }
}

TEST(MainWindow, PanelSwitchKeepsOrEmptiesTheInputAsTheTableSays)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "photo.tif", 300, 200);
    struct Case {
        const char* Name;
        std::vector<TPanel> Path; ///< panels shown after the input was chosen on Convert
        bool InputShown; ///< input field and information box still show the file
    };
    const Case cases[] = {
        { "convert to crop", { TPanel::Crop }, true },
        { "through about and back", { TPanel::About, TPanel::Convert }, true },
        { "among the four single-file panels", { TPanel::Resize, TPanel::Split, TPanel::Crop },
            true },
        { "merge and back", { TPanel::Merge, TPanel::Convert }, false },
        { "merge then about", { TPanel::Merge, TPanel::About, TPanel::Split }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowFixture f;
        TFrmMain& w = f.W();
        w.ShowPanel(TPanel::Convert);
        f.ChooseInput(image);
        ASSERT_EQ(Text(w.EditInputFile), "photo.tif");
        for (TPanel p : c.Path) {
            w.ShowPanel(p);
        }
        EXPECT_EQ(Text(w.EditInputFile), c.InputShown ? "photo.tif" : "");
        EXPECT_EQ(Text(w.lbWidth), c.InputShown ? "300" : "");
        // The engine keeps the input exactly while the window shows it.
        EXPECT_EQ(w.Tavmor.InInfo.FileName, c.InputShown ? image : "");
        EXPECT_EQ(w.Tavmor.InInfo.ImageIsOk, c.InputShown);
        if (!c.InputShown) {
            EXPECT_EQ(w.jvSplitX->Value(), 0);
            EXPECT_EQ(w.jvSplitY->Value(), 0);
        }
    }
}

TEST(MainWindow, SwitchingToMergeEmptiesTheTileListAndTheGridEveryTime)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    f.ChooseTiles({ "/t/a_X1Y1.tif", "/t/a_X2Y1.tif" });
    ASSERT_EQ(w.Panel().SelectedFiles.size(), 2u);
    ASSERT_EQ(w.jvMergeX->Value(), 2);
    w.ShowPanel(TPanel::Merge);
    EXPECT_TRUE(w.Panel().SelectedFiles.empty());
    EXPECT_EQ(Text(w.EditInputFile), "");
    EXPECT_EQ(w.jvMergeX->Value(), 0);
    EXPECT_EQ(w.jvMergeY->Value(), 0);
    EXPECT_TRUE(f.Dialogs.LastOpenMultiple);
}

TEST(MainWindow, DisableButtonsTouchesExactlyTheListedControls)
{
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Resize);
    const std::vector<QWidget*> listed = { w.btConvert, w.btCrop, w.btResize, w.rbSlowResize,
        w.rbFastResize, w.btSplit, w.btMerge, w.btAbout, w.sbInput, w.sbOutputFolder, w.btStart };
    const std::vector<QWidget*> others = { w.rbTif, w.rbTifLzw, w.rbRaw, w.rbKro, w.EditCropX,
        w.EditCropY, w.EditCropW, w.EditCropH, w.jvResizeW, w.jvSplitWidth, w.jvSplitHeight,
        w.EditOutputFolder, w.Button1, w.cbCheckForUpdates };
    w.DisableButtons();
    for (QWidget* c : listed) {
        EXPECT_FALSE(c->isEnabled()) << c->metaObject()->className();
    }
    for (QWidget* c : others) {
        EXPECT_TRUE(c->isEnabled()) << c->metaObject()->className();
    }
    w.EnableButtons();
    for (QWidget* c : listed) {
        EXPECT_TRUE(c->isEnabled());
    }
}

TEST(MainWindow, FieldsHaveTheirBoundsAndInitialValues)
{
    struct Case {
        const char* Name;
        TNumberEdit* TFrmMain::*Field;
        int64_t Min;
        int64_t Max;
        int64_t Initial;
        bool ReadOnly;
    };
    const Case cases[] = {
        { "crop x", &TFrmMain::EditCropX, 0, 9999999, 0, false },
        { "crop y", &TFrmMain::EditCropY, 0, 9999999, 0, false },
        { "crop width", &TFrmMain::EditCropW, 1, 9999999, 1, false },
        { "crop height", &TFrmMain::EditCropH, 1, 9999999, 1, false },
        { "resize width", &TFrmMain::jvResizeW, 512, 999999, 1000, false },
        { "resize height", &TFrmMain::jvResizeH, 0, 999999, 0, true },
        { "tile width", &TFrmMain::jvSplitWidth, 256, 1000000, 1000, false },
        { "tile height", &TFrmMain::jvSplitHeight, 256, 1000000, 1000, false },
        { "tiles x", &TFrmMain::jvSplitX, 0, 9999999, 0, true },
        { "tiles y", &TFrmMain::jvSplitY, 0, 9999999, 0, true },
        { "merge x", &TFrmMain::jvMergeX, 0, 999999, 0, true },
        { "merge y", &TFrmMain::jvMergeY, 0, 999999, 0, true },
    };
    TWindowFixture f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TNumberEdit* e = f.W().*c.Field;
        EXPECT_EQ(e->Minimum(), c.Min);
        EXPECT_EQ(e->Maximum(), c.Max);
        EXPECT_EQ(e->Value(), c.Initial);
        EXPECT_EQ(e->isReadOnly(), c.ReadOnly);
    }
    // The tile counts never keep the focus; the other read-only fields may take it.
    EXPECT_EQ(f.W().jvSplitX->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(f.W().jvSplitY->focusPolicy(), Qt::NoFocus);
}

TEST(MainWindow, TypingRefusesValuesAboveTheMaximumAndRaisesLowOnesWhenLeft)
{
    TWindowFixture f;
    TNumberEdit* e = f.W().jvResizeW;
    Type(e, "9999999");
    EXPECT_EQ(Text(e), "999999"); // the seventh digit is refused
    Type(e, "12");
    EXPECT_EQ(Text(e), "12"); // below the minimum while typing
    e->Normalize();
    EXPECT_EQ(Text(e), "512");
    Type(e, "7x");
    EXPECT_EQ(Text(e), "7");
}

TEST(MainWindow, DerivedNumbersFollowTheFieldsOnceAnInputIsLoaded)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "wide.tif", 1000, 600);
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Split);

    // Without a valid input nothing is derived.
    Type(w.jvSplitWidth, "300");
    EXPECT_EQ(w.jvSplitX->Value(), 0);
    Type(w.jvResizeW, "600");
    EXPECT_EQ(w.jvResizeH->Value(), 0);

    f.ChooseInput(image);
    EXPECT_EQ(w.jvResizeH->Value(), 360); // 600 / (1000 / 600)
    EXPECT_EQ(w.jvSplitX->Value(), 4); // 1000 / 300, one more for the rest
    EXPECT_EQ(w.jvSplitY->Value(), 1);
    // Only the width is clamped after a new input; the height when it is changed.
    EXPECT_EQ(w.jvSplitHeight->Value(), 1000);

    Type(w.jvSplitHeight, "256");
    EXPECT_EQ(w.jvSplitY->Value(), 3);
    // Below 256 while typing: the counts wait.
    Type(w.jvSplitWidth, "25");
    EXPECT_EQ(w.jvSplitX->Value(), 4);
    QTest::keyClick(w.jvSplitWidth, Qt::Key_0);
    EXPECT_EQ(w.jvSplitX->Value(), 4); // 250, still below
    Type(w.jvSplitWidth, "6000");
    EXPECT_EQ(Text(w.jvSplitWidth), "1000"); // clamped to the input's width
    EXPECT_EQ(w.jvSplitX->Value(), 1);

    Type(w.jvResizeW, "512");
    EXPECT_EQ(w.jvResizeH->Value(), 307); // 600 / (1000 / 512) = 307.2
    Type(w.jvResizeW, "750");
    EXPECT_EQ(w.jvResizeH->Value(), 450);
}

TEST(MainWindow, SplitButtonClampsTheTileWidthToTheInput)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "narrow.tif", 400, 300);
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Convert);
    f.ChooseInput(image);
    w.btSplit->click();
    EXPECT_EQ(w.jvSplitWidth->Value(), 400);
    EXPECT_EQ(w.jvSplitX->Value(), 1);
    EXPECT_EQ(w.jvSplitY->Value(), 1);
}

TEST(MainWindow, InformationBoxShowsAValidInputAndEmptiesForAnInvalidOne)
{
    TTempDir dir;
    const std::string good = MakeTiff(dir, "deep.tif", 3, 2, 16);
    const std::string bad = dir.File("broken.kro");
    ASSERT_TRUE(TestImages::WriteBytes(bad, { 'K', 'R', 'O' }));
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Convert);

    f.ChooseInput(good);
    EXPECT_EQ(Text(w.lbFileSize), FormatThousands(FileSizeOf(good)));
    EXPECT_EQ(Text(w.lbWidth), "3");
    EXPECT_EQ(Text(w.lbHeight), "2");
    EXPECT_EQ(Text(w.lbBits), "16");
    EXPECT_EQ(Text(w.lbChannels), "3");
    EXPECT_EQ(Text(w.lbImage), "6.00 Pixels");
    EXPECT_EQ(f.Status(), "Image is valid");
    EXPECT_EQ(Text(w.EditInputFile), "deep.tif");
    EXPECT_EQ(w.EditInputFile->toolTip().toStdString(), good);
    EXPECT_TRUE(f.Dialogs.Engine.All.empty());

    f.ChooseInput(bad);
    EXPECT_EQ(f.Dialogs.Engine.Messages, std::vector<std::string> { "KRO Header error" });
    for (const QLabel* l :
        { w.lbFileSize, w.lbWidth, w.lbHeight, w.lbBits, w.lbChannels, w.lbImage }) {
        EXPECT_EQ(Text(l), "");
    }
    // The field still names the earlier file; the engine's input is the rejected one.
    EXPECT_EQ(Text(w.EditInputFile), "deep.tif");
    EXPECT_FALSE(w.Tavmor.InInfo.ImageIsOk);

    // A file that vanished before the probe changes nothing and says nothing.
    f.ChooseInput(dir.File("gone.tif"));
    EXPECT_EQ(f.Dialogs.Engine.All.size(), 1u);
    EXPECT_EQ(w.Tavmor.InInfo.FileName, bad);
}

TEST(MainWindow, ARawFileWithoutASizeIsAskedForThroughTheDialogs)
{
    TTempDir dir;
    const std::string raw = dir.File("scan.raw");
    ASSERT_TRUE(TestImages::WriteRaw(raw, PatternImage(200, 150, 8, 3)));
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Crop);
    f.Dialogs.Engine.RawAnswer = TRawParameters { 200, 150, 8 };
    f.ChooseInput(raw);
    ASSERT_EQ(f.Dialogs.Engine.RawQuestions.size(), 1u);
    EXPECT_EQ(f.Dialogs.Engine.RawQuestions[0].FileSize, 200 * 150 * 3);
    EXPECT_EQ(Text(w.lbWidth), "200");
    EXPECT_EQ(Text(w.lbHeight), "150");
    EXPECT_EQ(Text(w.lbImage), "30.00 Kilopixels");
}

TEST(MainWindow, TileSelectionFillsTheGridOrExplainsWhy)
{
    struct Case {
        const char* Name;
        std::vector<std::string> Files;
        std::string Message; ///< "" when accepted
        int64_t X;
        int64_t Y;
    };
    const std::vector<std::string> six = { "/t/a_X1Y1.tif", "/t/a_X2Y1.tif", "/t/a_X3Y1.tif",
        "/t/a_X1Y2.tif", "/t/a_X2Y2.TIF", "/t/a_X3Y2.tif" };
    const Case cases[] = {
        { "six tiles", six, "", 3, 2 },
        { "five of six", { six.begin(), six.end() - 1 }, "The number of selected files must be : 6",
            0, 0 },
        { "no tile positions", { "/t/a.tif", "/t/b.tif" }, "Can't merge the selected files", 0, 0 },
        { "mixed kinds", { "/t/a_X1Y1.tif", "/t/a_X2Y1.kro" },
            "You can't select two different type of files", 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowFixture f;
        TFrmMain& w = f.W();
        f.ChooseTiles(c.Files);
        EXPECT_EQ(w.Panel().SelectedFiles, c.Files);
        EXPECT_EQ(w.jvMergeX->Value(), c.X);
        EXPECT_EQ(w.jvMergeY->Value(), c.Y);
        if (c.Message.empty()) {
            EXPECT_TRUE(f.Dialogs.Engine.All.empty());
            EXPECT_EQ(Text(w.EditInputFile), "6 files selected");
            EXPECT_EQ(f.Status(), "6 files selected");
        } else {
            EXPECT_EQ(f.Dialogs.Engine.Messages, std::vector<std::string> { c.Message });
            EXPECT_EQ(Text(w.EditInputFile), "");
        }
    }
}

TEST(MainWindow, DropsAreRoutedByTheBandOfTheDropPoint)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "drop.tif", 20, 10);
    const std::string other = MakeTiff(dir, "other.tif", 30, 10);
    const std::string jpeg = dir.File("photo.jpg");
    ASSERT_TRUE(TestImages::WriteBytes(jpeg, { 1, 2, 3 }));
    const std::string folder = dir.File("out");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const QPoint inputBand(200, 100);
    const QPoint inputBandEdge(5, 232);
    const QPoint operationBand(200, 300);
    const QPoint outputBand(200, 500);

    struct Case {
        const char* Name;
        TPanel Panel;
        std::vector<std::string> Paths;
        QPoint At;
        std::string Input; ///< the input field afterwards
        std::string OutputFolder; ///< the output field afterwards
        std::vector<std::string> Messages;
    };
    const Case cases[] = {
        { "file on the input area", TPanel::Convert, { image }, inputBand, "drop.tif", "", {} },
        { "bottom row of the input area", TPanel::Crop, { image }, inputBandEdge, "drop.tif", "",
            {} },
        { "only the first of three files", TPanel::Convert, { other, image, jpeg }, inputBand,
            "other.tif", "", {} },
        { "folder on the input area", TPanel::Convert, { folder }, inputBand, "", "", {} },
        { "unsupported file", TPanel::Convert, { jpeg }, inputBand, "", "",
            { "Then file type is invalid" } },
        { "folder on the output area", TPanel::Split, { folder }, outputBand, "", folder, {} },
        { "file on the output area", TPanel::Split, { image }, outputBand, "", "", {} },
        { "folder on an operation panel", TPanel::Resize, { folder }, operationBand, "", "", {} },
        { "file on the About panel", TPanel::About, { image }, inputBand, "", "", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowFixture f;
        TFrmMain& w = f.W();
        w.ShowPanel(c.Panel);
        w.WMDropFiles(c.Paths, c.At);
        EXPECT_EQ(Text(w.EditInputFile), c.Input);
        EXPECT_EQ(Text(w.EditOutputFolder), c.OutputFolder);
        EXPECT_EQ(f.Dialogs.Engine.Messages, c.Messages);
        // A drop never opens a dialog of its own, and leaves no marker behind.
        EXPECT_EQ(f.Dialogs.OpenCount, 0);
        EXPECT_TRUE(f.Dialogs.FolderStarts.empty());
        EXPECT_FALSE(w.DroppedFile);
    }
}

TEST(MainWindow, AfterARefusedDropTheInputButtonOpensTheDialogAgain)
{
    TTempDir dir;
    const std::string jpeg = dir.File("photo.jpg");
    ASSERT_TRUE(TestImages::WriteBytes(jpeg, { 1 }));
    TWindowFixture f;
    f.W().ShowPanel(TPanel::Convert);
    f.W().WMDropFiles({ jpeg }, QPoint(10, 150));
    f.W().sbInput->click();
    EXPECT_EQ(f.Dialogs.OpenCount, 1);
}

TEST(MainWindow, DropsOnTheMergePanelBuildTheTileList)
{
    TTempDir dir;
    std::vector<std::string> tiles;
    for (const char* name : { "p_X1Y1.tif", "p_X2Y1.tif", "p_X1Y2.tif", "p_X2Y2.tif" }) {
        tiles.push_back(dir.File(name));
        ASSERT_TRUE(TestImages::WriteBytes(tiles.back(), { 0 }));
    }
    {
        SCOPED_TRACE("one file: listed, nothing else said");
        TWindowFixture f;
        f.W().ShowPanel(TPanel::Merge);
        f.W().WMDropFiles({ tiles[0] }, QPoint(30, 120));
        EXPECT_EQ(f.W().Panel().SelectedFiles, std::vector<std::string> { tiles[0] });
        EXPECT_EQ(Text(f.W().EditInputFile), "");
        EXPECT_EQ(f.Status(), "Processing input files list");
        EXPECT_TRUE(f.Dialogs.Engine.All.empty());
    }
    {
        SCOPED_TRACE("the whole grid");
        TWindowFixture f;
        f.W().ShowPanel(TPanel::Merge);
        f.W().WMDropFiles(tiles, QPoint(30, 120));
        EXPECT_EQ(f.W().Panel().SelectedFiles, tiles);
        EXPECT_EQ(Text(f.W().EditInputFile), "4 files selected");
        EXPECT_EQ(f.W().jvMergeX->Value(), 2);
        EXPECT_EQ(f.W().jvMergeY->Value(), 2);
    }
}

TEST(MainWindow, ADropEventFromAFileManagerReachesTheHandler)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "shell.tif", 8, 8);
    TWindowFixture f;
    f.W().ShowPanel(TPanel::Convert);
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(QString::fromStdString(image)) });
    // A drop reaches the widget the drag entered, as it does from a file manager.
    QDragEnterEvent enter(QPoint(100, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.Window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 150), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.Window.get(), &drop);
    EXPECT_EQ(Text(f.W().EditInputFile), "shell.tif");
    EXPECT_TRUE(drop.isAccepted());
}

TEST(MainWindow, OutputFolderBrowseStartsInTheInputsFolderAndDoubleClickEmpties)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "in.tif", 8, 8);
    TWindowFixture f;
    TFrmMain& w = f.W();
    w.ShowPanel(TPanel::Convert);
    f.ChooseInput(image);

    w.sbOutputFolder->click(); // cancelled
    EXPECT_EQ(Text(w.EditOutputFolder), dir.Path());
    EXPECT_EQ(f.Dialogs.FolderStarts, std::vector<std::string> { dir.Path() });
    EXPECT_EQ(w.Panel().BrowseDirectory, dir.Path());

    f.Dialogs.FolderAnswer = "/tmp";
    w.sbOutputFolder->click();
    EXPECT_EQ(Text(w.EditOutputFolder), "/tmp");
    EXPECT_EQ(w.Panel().BrowseDirectory, "/tmp");

    QTest::mouseDClick(w.EditOutputFolder, Qt::LeftButton);
    EXPECT_EQ(Text(w.EditOutputFolder), "");
}

TEST(MainWindow, SettingsPlaceTheWindowAndAreWrittenWhenItCloses)
{
    TTempDir dir;
    const std::string ini = dir.File("tavmor-tools.ini");
    struct Case {
        const char* Name;
        std::string Content; ///< "" for no file
        QPoint Position;
        bool Check;
        std::string Saved;
    };
    const Case cases[] = {
        { "first run", "", QPoint(400, 100), true,
            "WindowPosX=400\r\nWindowPosY=100\r\nCheckForUpdates=True\r\n" },
        { "left of the screen", "WindowPosX=-250\r\nwindowposy=30\r\nCheckForUpdates=False\r\n",
            QPoint(-250, 30), false,
            "WindowPosX=-250\r\nWindowPosY=30\r\nCheckForUpdates=False\r\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        DeleteFileAt(ini);
        if (!c.Content.empty()) {
            ASSERT_TRUE(TestImages::WriteBytes(ini, { c.Content.begin(), c.Content.end() }));
        }
        TFakeWindowDialogs dialogs;
        TFrmMainOptions options;
        options.Dialogs = &dialogs;
        options.Taskbar = std::make_unique<TNoTaskbarProgress>();
        options.SettingsPath = ini;
        TFrmMain w(std::move(options));
        EXPECT_EQ(w.pos(), c.Position);
        EXPECT_EQ(w.cbCheckForUpdates->isChecked(), c.Check);
        EXPECT_EQ(w.UpdateCheck->CheckForUpdatesTimer->isActive(), c.Check);
        w.UpdateCheck->CheckForUpdatesTimer->stop();
        EXPECT_TRUE(w.close());
        const std::vector<uint8_t> saved = TestImages::ReadBytes(ini);
        EXPECT_EQ(std::string(saved.begin(), saved.end()), c.Saved);
    }
}

TEST(MainWindow, AFileFromTheCommandLineBecomesTheConvertInput)
{
    TTempDir dir;
    const std::string image = MakeTiff(dir, "opened.tif", 12, 9);
    const std::string text = dir.File("notes.txt");
    ASSERT_TRUE(TestImages::WriteBytes(text, { 'x' }));
    {
        TWindowFixture f;
        f.W().OpenStartupFile(image);
        EXPECT_EQ(f.W().Panel().CurrentPanel, TPanel::Convert);
        EXPECT_EQ(Text(f.W().EditInputFile), "opened.tif");
        EXPECT_EQ(Text(f.W().lbWidth), "12");
        EXPECT_EQ(f.Dialogs.OpenCount, 0);
    }
    // A file that cannot be read is named with the system's reason; one that can but is no
    // image gets the probe's own message.
    struct Case {
        const char* Name;
        std::string Path;
        std::string Message;
    };
    const Case cases[] = {
        { "not an image", text, "Then file type is invalid" },
        { "missing", dir.File("gone.tif"),
            "Cannot open " + dir.File("gone.tif") + "\n" + std::strerror(ENOENT) },
        { "a folder", dir.Path(), "Cannot open " + dir.Path() + "\n" + std::strerror(EISDIR) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowFixture f;
        f.W().OpenStartupFile(c.Path);
        EXPECT_EQ(f.Dialogs.Engine.Messages, std::vector<std::string> { c.Message });
        EXPECT_EQ(f.W().Panel().CurrentPanel, TPanel::Convert);
        EXPECT_EQ(Text(f.W().EditInputFile), "");
        EXPECT_FALSE(f.W().Tavmor.InInfo.ImageIsOk);
        EXPECT_FALSE(f.W().DroppedFile);
    }
}
