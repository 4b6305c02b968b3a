// Building the main window, the panel switch, input selection, drops, and the host side of
// the jobs: status, message boxes, progress, pause and abort.
#include "app/Main.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "app/CheckVersionTh.h"
#include "app/CommandLine.h"
#include "app/MainGeometry.h"
#include "app/MainTexts.h"
#include "app/NumberEdit.h"
#include "app/PanelColours.h"
#include "app/Progress.h"
#include "app/Taskbar.h"
#include "app/WindowDialogs.h"
#include "engine/Formats.h"
#include "engine/ScopeExit.h"
#include "engine/TavmorUtils.h"
#include "jobs/JobTexts.h"
#include "jobs/TileSet.h"

using namespace MainGeometry;

namespace {

const QColor kWindowGrey(232, 232, 232);
const QColor kInfoGrey(216, 216, 216);
constexpr int kPanelWidth = 426;
constexpr int kPanelHeight = 207;
// Before every tenth dropped item the window repaints once, as a long drop goes on.
constexpr size_t kDropRepaintEvery = 10;

QString Q(const char* text)
{
    return QString::fromUtf8(text);
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

/// The window's sans font at the given pixel height (Tahoma's place on Linux).
QFont SansFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies({ QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
        QStringLiteral("Noto Sans") });
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(const QString& text, QWidget* parent, const QRect& place,
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
    label->setAlignment(align);
    return label;
}

/// An operation panel with its bold centred title and centred subtitle.
QWidget* MakeOperationPanel(QWidget* parent, const char* title, const char* subtitle)
{
    auto* panel = new QWidget(parent);
    panel->setGeometry(0, 0, kPanelWidth, kPanelHeight);
    auto* lbTitle = MakeLabel(Q(title), panel, QRect(0, 10, kPanelWidth, 18), Qt::AlignCenter);
    lbTitle->setFont(SansFont(13, true));
    MakeLabel(Q(subtitle), panel, QRect(0, 32, kPanelWidth, 16), Qt::AlignCenter);
    return panel;
}

/// One numeric field with its caption in a group; row 0 or 1.
TNumberEdit* AddField(
    QGroupBox* group, int row, const char* caption, int64_t min, int64_t max, int64_t initial)
{
    const int y = 30 + row * 34;
    MakeLabel(Q(caption), group, QRect(14, y, 56, 21));
    auto* edit = new TNumberEdit(min, max, initial, group);
    edit->setGeometry(74, y, 96, 21);
    return edit;
}

QGroupBox* MakeGroup(QWidget* parent, const char* caption, const QRect& place)
{
    auto* group = new QGroupBox(Q(caption), parent);
    group->setGeometry(place);
    return group;
}

} // namespace

/// The window's pictures live in a static library, whose resources must be registered.
static void InitResources()
{
    Q_INIT_RESOURCE(TavmorTools);
}

TFrmMain::TFrmMain(TFrmMainOptions options)
    : QWidget(nullptr)
    , Jobs(Tavmor, *this)
    , Start(Jobs, FPanel, [this] { PanelValuesChanged(); })
    , FDialogs(options.Dialogs)
    , FTaskbar(std::move(options.Taskbar))
{
    InitResources();
    setWindowTitle(Q(MainText::Caption));
    // It opens at its designed size, which is also its smallest (MainLayout.cpp).
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    setFont(SansFont(11));
    PaintFixedPanel(this, kWindowGrey);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tavmor-tools.png")));

    BuildButtons();
    BuildInput();
    BuildPanels();
    BuildOutput();
    BuildAbout();

    PProgress = new TProgressPanel(this);
    PProgress->setGeometry(25, 239, 377, 193);
    connect(PProgress->btPause, &QPushButton::clicked, this, &TFrmMain::btPauseClick);
    connect(PProgress->btAbort, &QPushButton::clicked, this, &TFrmMain::btAbortClick);

    StatusBar = new QStatusBar(this);
    StatusBar->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
    StatusBar->setSizeGripEnabled(false);
    SetToolTips();
    BuildShortcuts();

    if (FDialogs == nullptr) {
        FOwnDialogs = std::make_unique<TQtDialogs>(this);
        FDialogs = FOwnDialogs.get();
    }
    if (!FTaskbar) {
        FTaskbar = CreateTaskbarProgress(QStringLiteral("tavmor-tools.desktop"));
    }

    // FormCreate. One resize worker at a time, whatever the processor count.
    Jobs.NumOfCores = 1;
    PProgress->hide();
    ShowPanel(TPanel::About);
    PInput->hide();
    POutput->hide();

    if (!options.SettingsPath.empty()) {
        Setup.Create(options.SettingsPath);
        TSetupValues values;
        // An unreadable file gives the first-run values; start-up goes on either way.
        (void)Setup.Load(values);
        move(values.WindowPosX, values.WindowPosY);
        cbCheckForUpdates->setChecked(values.CheckForUpdates);
        if (values.CheckForUpdates) {
            UpdateCheck->Start();
        }
        FSetupLoaded = true;
    }

    Tavmor.Reset();
    Tavmor.Dialogs = FDialogs;
    DroppedFile = false;
    setAcceptDrops(true);
    jvSplitWidth->SetMaximum(1000000);
    jvSplitHeight->SetMaximum(1000000);
    lbAboutInfo->setText(windowTitle());
}

TFrmMain::~TFrmMain()
{
    // The engine's hooks point at the jobs and the window; nothing may fire them now.
    Tavmor.OnError = nullptr;
    Tavmor.OnStatus = nullptr;
    Tavmor.OnShowProgress = nullptr;
    Tavmor.OnUpdateProgress = nullptr;
    Tavmor.OnHideProgress = nullptr;
    Tavmor.Dialogs = nullptr;
}

void TFrmMain::BuildButtons()
{
    PButtons = new QWidget(this);
    PButtons->setGeometry(0, 0, kClientWidth, 80);
    const struct {
        QPushButton** Button;
        const char* Caption;
        int X;
    } buttons[] = {
        { &btConvert, MainText::Convert, 8 },
        { &btCrop, MainText::Crop, 77 },
        { &btResize, MainText::Resize, 146 },
        { &btSplit, MainText::Split, 215 },
        { &btMerge, MainText::Merge, 284 },
        { &btAbout, MainText::About, 354 },
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(Q(b.Caption), PButtons);
        button->setGeometry(b.X, 9, 64, 64);
        button->setFont(SansFont(11, true));
        button->setFocusPolicy(Qt::NoFocus);
        *b.Button = button;
    }
    connect(btConvert, &QPushButton::clicked, this, [this] { ShowPanel(TPanel::Convert); });
    connect(btCrop, &QPushButton::clicked, this, [this] { ShowPanel(TPanel::Crop); });
    connect(btResize, &QPushButton::clicked, this, [this] { ShowPanel(TPanel::Resize); });
    connect(btSplit, &QPushButton::clicked, this, [this] {
        ShowPanel(TPanel::Split);
        ReadFields();
        Start.jvSplitWidthChange(TPanelField::SplitWidth);
    });
    connect(btMerge, &QPushButton::clicked, this, [this] { ShowPanel(TPanel::Merge); });
    connect(btAbout, &QPushButton::clicked, this, [this] { ShowPanel(TPanel::About); });
}

void TFrmMain::BuildInput()
{
    PInput = new QWidget(this);
    PInput->setGeometry(0, 80, kClientWidth, 153);
    PaintFixedPanel(PInput, kWindowGrey);

    lbInputFile = MakeLabel(Q(MainText::InputFile), PInput, QRect(9, 4, 200, 16));
    EditInputFile = new QLineEdit(PInput);
    EditInputFile->setGeometry(9, 22, kPathFieldWidth, 22);
    EditInputFile->setReadOnly(true);
    EditInputFile->setAcceptDrops(false);
    sbInput = new QPushButton(Q(MainText::Browse), PInput);
    sbInput->setGeometry(kBrowseX, 22, 22, 22);
    connect(sbInput, &QPushButton::clicked, this, &TFrmMain::sbInputClick);

    Panel4 = new QFrame(PInput);
    Panel4->setGeometry(9, 56, kInfoWidth, 78);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PaintFixedPanel(Panel4, kInfoGrey);
    lbInfo = MakeLabel(Q(MainText::Info), Panel4, QRect(0, 3, kInfoWidth, 14), Qt::AlignCenter);
    lbInfo->setFont(SansFont(11, true));

    const struct {
        QLabel** Value;
        const char* Caption;
        int Column;
        int Row;
    } rows[] = {
        { &lbFileSize, MainText::FileSize, 0, 0 },
        { &lbWidth, MainText::Width, 0, 1 },
        { &lbHeight, MainText::Height, 0, 2 },
        { &lbBits, MainText::Bits, 1, 0 },
        { &lbChannels, MainText::Channels, 1, 1 },
        { &lbImage, MainText::Image, 1, 2 },
    };
    for (const auto& r : rows) {
        const int x = r.Column == 0 ? 10 : 214;
        const int y = 20 + r.Row * 18;
        MakeLabel(Q(r.Caption), Panel4, QRect(x, y, 60, 16));
        *r.Value = MakeLabel(Q(MainText::NoValue), Panel4, QRect(x + 62, y, 126, 16));
    }
}

void TFrmMain::BuildPanels()
{
    PMain = new QWidget(this);
    PMain->setGeometry(0, 233, kClientWidth, 210);

    PConvert = MakeOperationPanel(PMain, MainText::ConvertTitle, MainText::ConvertSubtitle);

    PCrop = MakeOperationPanel(PMain, MainText::CropTitle, MainText::CropSubtitle);
    auto* point = MakeGroup(PCrop, MainText::TopLeftPoint, QRect(22, 62, 186, 104));
    EditCropX = AddField(point, 0, MainText::FieldX, 0, 9999999, 0);
    EditCropY = AddField(point, 1, MainText::FieldY, 0, 9999999, 0);
    auto* size = MakeGroup(PCrop, MainText::Size, QRect(218, 62, 186, 104));
    EditCropW = AddField(size, 0, MainText::FieldWidth, 1, 9999999, 1);
    EditCropH = AddField(size, 1, MainText::FieldHeight, 1, 9999999, 1);

    PResize = MakeOperationPanel(PMain, MainText::ResizeTitle, MainText::ResizeSubtitle);
    auto* imageSize = MakeGroup(PResize, MainText::ImageSize, QRect(22, 62, 186, 104));
    jvResizeW = AddField(imageSize, 0, MainText::FieldWidth, 512, 999999, 1000);
    jvResizeH = AddField(imageSize, 1, MainText::FieldHeight, 0, 999999, 0);
    jvResizeH->SetReadOnlyGrey(true);
    rbFastResize = new QRadioButton(Q(MainText::FastResize), PResize);
    rbFastResize->setGeometry(222, 86, 200, 20);
    rbSlowResize = new QRadioButton(Q(MainText::SlowResize), PResize);
    rbSlowResize->setGeometry(222, 120, 200, 20);
    rbSlowResize->setChecked(true);

    PSplit = MakeOperationPanel(PMain, MainText::SplitTitle, MainText::SplitSubtitle);
    auto* tile = MakeGroup(PSplit, MainText::TileDimensions, QRect(22, 62, 186, 104));
    jvSplitWidth = AddField(tile, 0, MainText::FieldWidth, 256, 9999999, 1000);
    jvSplitHeight = AddField(tile, 1, MainText::FieldHeight, 256, 9999999, 1000);
    auto* count = MakeGroup(PSplit, MainText::NumberOfTiles, QRect(218, 62, 186, 104));
    jvSplitX = AddField(count, 0, MainText::FieldX, 0, 9999999, 0);
    jvSplitY = AddField(count, 1, MainText::FieldY, 0, 9999999, 0);
    jvSplitX->SetReadOnlyGrey(false);
    jvSplitY->SetReadOnlyGrey(false);

    PMerge = MakeOperationPanel(PMain, MainText::MergeTitle, MainText::MergeSubtitle);
    auto* tiles = MakeGroup(PMerge, MainText::NumberOfTiles, QRect(120, 62, 186, 104));
    jvMergeX = AddField(tiles, 0, MainText::FieldX, 0, 999999, 0);
    jvMergeY = AddField(tiles, 1, MainText::FieldY, 0, 999999, 0);
    jvMergeX->SetReadOnlyGrey(true);
    jvMergeY->SetReadOnlyGrey(true);

    const struct {
        TNumberEdit* Edit;
        TPanelField Field;
    } recalculated[] = {
        { jvSplitWidth, TPanelField::SplitWidth },
        { jvSplitHeight, TPanelField::SplitHeight },
        { jvResizeW, TPanelField::ResizeW },
        { jvResizeH, TPanelField::ResizeH },
        { jvMergeX, TPanelField::MergeX },
        { jvMergeY, TPanelField::MergeY },
    };
    for (const auto& r : recalculated) {
        const TPanelField field = r.Field;
        connect(r.Edit, &QLineEdit::textChanged, this, [this, field] { FieldChanged(field); });
    }
}

void TFrmMain::BuildOutput()
{
    POutput = new QWidget(this);
    POutput->setGeometry(0, 443, kClientWidth, 146);

    auto* format = new QGroupBox(Q(MainText::OutputFormat), POutput);
    format->setGeometry(9, 2, 408, 50);
    // The four choices of the window, captioned as the format table names their kinds.
    const struct {
        QRadioButton** Button;
        TOutputChoice Choice;
        int X;
    } radios[] = {
        { &rbTif, TOutputChoice::Tif, 18 },
        { &rbTifLzw, TOutputChoice::TifLzw, 112 },
        { &rbRaw, TOutputChoice::Raw, 236 },
        { &rbKro, TOutputChoice::Kro, 322 },
    };
    for (const auto& r : radios) {
        const TFoundKind kind = FindOutputKind(OutputKindName(r.Choice));
        *r.Button = new QRadioButton(Q(kind.Kind ? kind.Kind->Caption : ""), format);
        (*r.Button)->setGeometry(r.X, 22, 100, 20);
    }
    rbTif->setChecked(true);

    MakeLabel(Q(MainText::OutputDirectory), POutput, QRect(9, 60, 200, 16));
    EditOutputFolder = new QLineEdit(POutput);
    EditOutputFolder->setGeometry(9, 78, kPathFieldWidth, 22);
    EditOutputFolder->setReadOnly(true);
    EditOutputFolder->setAcceptDrops(false);
    EditOutputFolder->installEventFilter(this);
    sbOutputFolder = new QPushButton(Q(MainText::Browse), POutput);
    sbOutputFolder->setGeometry(kBrowseX, 78, 22, 22);
    connect(sbOutputFolder, &QPushButton::clicked, this, &TFrmMain::sbOutputFolderClick);

    btStart = new QPushButton(Q(MainText::Start), POutput);
    btStart->setGeometry(317, 108, 100, 32);
    btStart->setFont(SansFont(11, true));
    connect(btStart, &QPushButton::clicked, this, &TFrmMain::btStartClick);
}

void TFrmMain::BuildAbout()
{
    PAbout = new QWidget(this);
    PAbout->setGeometry(0, 79, kClientWidth, 509);
    PaintFixedPanel(PAbout, kWindowGrey);

    Image1 = new QLabel(PAbout);
    Image1->setGeometry(12, 12, 96, 64);
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap(QStringLiteral(":/icons/about.png")));

    lbAboutInfo = MakeLabel(QString(), PAbout, QRect(0, 100, kClientWidth, 20), Qt::AlignCenter);
    lbAboutInfo->setFont(SansFont(13, true));

    auto* home = MakeLabel(
        Q(MainText::HomePageLabel), PAbout, QRect(0, 150, kClientWidth, 16), Qt::AlignCenter);
    home->setFont(SansFont(11, true));
    lbAboutHomepage =
        MakeLabel(Q(MainText::HomePage), PAbout, QRect(63, 168, 300, 16), Qt::AlignCenter);
    QFont link = SansFont(11);
    link.setUnderline(true);
    lbAboutHomepage->setFont(link);
    QPalette blue = lbAboutHomepage->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 200));
    lbAboutHomepage->setPalette(blue);
    lbAboutHomepage->setCursor(Qt::PointingHandCursor);
    lbAboutHomepage->installEventFilter(this);

    Button1 = new QPushButton(Q(MainText::CheckForUpdates), PAbout);
    Button1->setGeometry((kClientWidth - 129) / 2, 220, 129, 25);
    cbCheckForUpdates = new QCheckBox(Q(MainText::AutoCheck), PAbout);
    cbCheckForUpdates->setGeometry(83, 262, 280, 20);
    lbNewVersion = MakeLabel(
        Q(MainText::NewVersionAvailable), PAbout, QRect(4, 300, 418, 23), Qt::AlignCenter);
    lbNewVersion->setFont(SansFont(15, true));
    QPalette red = lbNewVersion->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lbNewVersion->setPalette(red);
    lbNewVersion->hide();

    UpdateCheck = new TUpdateCheckController(this);
    UpdateCheck->AttachLabel(lbNewVersion);
    connect(Button1, &QPushButton::clicked, UpdateCheck, &TUpdateCheckController::Button1Click);
}

// ---- The jobs' host ------------------------------------------------------------------------

void TFrmMain::ShowStatus(const std::string& text)
{
    // The engine reports a status on every line, and a status bar repaints itself at once:
    // inside a job the text is shown at the next event pump.
    FStatusText = text;
    FStatusPending = true;
    if (!Jobs.Running()) {
        FlushStatus();
    }
}

void TFrmMain::FlushStatus()
{
    if (FStatusPending) {
        FStatusPending = false;
        StatusBar->showMessage(Q(FStatusText));
    }
}

void TFrmMain::ShowError(const std::string& text)
{
    FDialogs->ShowMessage(text);
}

void TFrmMain::ShowErrorDialog(const std::string& text)
{
    FDialogs->ShowErrorDialog(text);
}

void TFrmMain::ShowProgressPanel(int32_t max, const std::string& caption)
{
    PProgress->btAbort->setText(Q(MainText::Abort));
    PProgress->btPause->setText(Q(MainText::Pause));
    PProgress->lbStatusDescr->setText(Q(caption));
    PProgress->SetPausedColour(false);
    PProgress->PBStatus->SetMaximum(max);
    PProgress->PBStatus->SetPosition(0);
    PProgress->show();
    PProgress->raise();
    FTaskbar->SetMaximum(max);
    FTaskbar->SetPosition(0);
    FTaskbar->SetState(TTaskbarState::Normal);
    // The panel appears at once, not only at the first step of the job.
    FPumpClock.invalidate();
}

void TFrmMain::SetProgressPosition(int32_t position)
{
    PProgress->PBStatus->SetPosition(position);
    FTaskbar->SetPosition(position);
}

void TFrmMain::SetProgressPaused(bool paused)
{
    PProgress->btPause->setText(Q(paused ? MainText::Continue : MainText::Pause));
    PProgress->SetPausedColour(paused);
    FTaskbar->SetState(paused ? TTaskbarState::Paused : TTaskbarState::Normal);
}

void TFrmMain::HideProgressPanel()
{
    PProgress->hide();
    FTaskbar->SetState(TTaskbarState::NoProgress);
}

void TFrmMain::ProcessMessages()
{
    if (FPumpClock.isValid() && FPumpClock.elapsed() < kPumpIntervalMs) {
        return;
    }
    FlushStatus();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    FPumpClock.start();
}

void TFrmMain::DisableButtons()
{
    for (QWidget* w : std::initializer_list<QWidget*> { btConvert, btCrop, btResize, rbSlowResize,
             rbFastResize, btSplit, btMerge, btAbout, sbInput, sbOutputFolder, btStart }) {
        w->setEnabled(false);
    }
}

void TFrmMain::EnableButtons()
{
    for (QWidget* w : std::initializer_list<QWidget*> { btConvert, btCrop, btResize, rbSlowResize,
             rbFastResize, btSplit, btMerge, btAbout, sbInput, sbOutputFolder, btStart }) {
        w->setEnabled(true);
    }
}

void TFrmMain::PanelValuesChanged()
{
    // Writing a field runs its change handler; the values come from the jobs already.
    FRefreshing = true;
    TScopeExit done([this] { FRefreshing = false; });
    const struct {
        TNumberEdit* Edit;
        int64_t Value;
    } fields[] = {
        { EditCropX, FPanel.CropX },
        { EditCropY, FPanel.CropY },
        { EditCropW, FPanel.CropW },
        { EditCropH, FPanel.CropH },
        { jvSplitWidth, FPanel.SplitWidth },
        { jvSplitHeight, FPanel.SplitHeight },
        { jvSplitX, FPanel.SplitX },
        { jvSplitY, FPanel.SplitY },
        { jvResizeW, FPanel.ResizeW },
        { jvResizeH, FPanel.ResizeH },
        { jvMergeX, FPanel.MergeX },
        { jvMergeY, FPanel.MergeY },
    };
    for (const auto& f : fields) {
        // A field the user is emptying reads as 0 and keeps its empty text.
        if (f.Edit->Value() != f.Value) {
            f.Edit->SetValue(f.Value);
        }
    }
}

void TFrmMain::ReadFields()
{
    FPanel.CropX = EditCropX->Value();
    FPanel.CropY = EditCropY->Value();
    FPanel.CropW = EditCropW->Value();
    FPanel.CropH = EditCropH->Value();
    FPanel.SplitWidth = jvSplitWidth->Value();
    FPanel.SplitHeight = jvSplitHeight->Value();
    FPanel.SplitX = jvSplitX->Value();
    FPanel.SplitY = jvSplitY->Value();
    FPanel.ResizeW = jvResizeW->Value();
    FPanel.ResizeH = jvResizeH->Value();
    FPanel.MergeX = jvMergeX->Value();
    FPanel.MergeY = jvMergeY->Value();
}

void TFrmMain::ReadPanel()
{
    ReadFields();
    FPanel.Output = rbTifLzw->isChecked() ? TOutputChoice::TifLzw
        : rbRaw->isChecked()              ? TOutputChoice::Raw
        : rbKro->isChecked()              ? TOutputChoice::Kro
                                          : TOutputChoice::Tif;
    FPanel.EditOutputFolder = EditOutputFolder->text().toStdString();
    FPanel.FastResize = rbFastResize->isChecked();
}

void TFrmMain::FieldChanged(TPanelField field)
{
    if (FRefreshing) {
        return;
    }
    ReadFields();
    Start.jvSplitWidthChange(field);
}

// ---- Panels --------------------------------------------------------------------------------

void TFrmMain::ShowPanel(TPanel n)
{
    // The buttons are disabled during a job; a click queued before that must not switch.
    if (Busy()) {
        return;
    }
    // No event pump here: a second click must not run inside this switch.
    ShowStatus("");
    const bool operation = n != TPanel::About;
    PInput->setVisible(operation);
    if (n == TPanel::Merge) {
        lbInputFile->setText(Q(MainText::InputFiles));
        EditInputFile->clear();
        EditInputFile->setToolTip(Q(MainText::TipInputFiles));
        FPanel.SelectedFiles.clear();
        MultiSelect = true;
        ClearInputInfoPanel();
        jvMergeX->SetValue(0);
        jvMergeY->SetValue(0);
    } else {
        lbInputFile->setText(Q(MainText::InputFile));
        if (FPanel.CurrentPanel == TPanel::Merge) {
            MultiSelect = false;
            FPanel.SelectedFiles.clear();
            EditInputFile->clear();
            EditInputFile->setToolTip(Q(MainText::TipInputFile));
            ClearInputInfoPanel();
            // The input is no longer shown, so no job may run on it: Start and Crop's checks
            // now refuse as before any input was chosen.
            Jobs.ClearInput();
            OpenFileName.clear();
            jvSplitX->SetValue(0);
            jvSplitY->SetValue(0);
        }
    }
    PConvert->setVisible(n == TPanel::Convert);
    PCrop->setVisible(n == TPanel::Crop);
    PResize->setVisible(n == TPanel::Resize);
    PSplit->setVisible(n == TPanel::Split);
    PMerge->setVisible(n == TPanel::Merge);
    switch (n) {
    case TPanel::Convert:
    case TPanel::Crop:
    case TPanel::Resize:
        btStart->setText(Q(MainText::Start));
        break;
    case TPanel::Split:
        btStart->setText(Q(MainText::Split));
        break;
    case TPanel::Merge:
        btStart->setText(Q(MainText::Merge));
        break;
    case TPanel::About:
        break;
    }
    PAbout->setVisible(!operation);
    POutput->setVisible(operation);
    FPanel.CurrentPanel = n;
    ReadFields();
}

// ---- Input selection -----------------------------------------------------------------------

void TFrmMain::ClearInputInfoPanel()
{
    for (QLabel* l : { lbFileSize, lbWidth, lbHeight, lbBits, lbChannels, lbImage }) {
        l->clear();
    }
}

void TFrmMain::sbInputClick()
{
    const bool dropped = DroppedFile;
    DroppedFile = false;
    // A click or drop that arrives through a job's message pump must not change its input.
    if (Busy()) {
        return;
    }
    ++FBusy;
    TScopeExit idle([this] { --FBusy; });

    const bool tileSet = FPanel.CurrentPanel == TPanel::Merge;
    if (dropped) {
        if (tileSet) {
            if (FPanel.SelectedFiles.size() < 2) {
                return;
            }
            for (const std::string& name : FPanel.SelectedFiles) {
                if (!HasSupportedExt(name)) {
                    ShowError(JobText::InvalidFileType);
                    return;
                }
            }
        } else if (!HasSupportedExt(OpenFileName)) {
            ShowError(JobText::InvalidFileType);
            return;
        }
    } else {
        std::vector<std::string> names;
        if (!FDialogs->ChooseInputFiles(tileSet, names) || names.empty()) {
            return;
        }
        if (tileSet) {
            FPanel.SelectedFiles = names;
        } else {
            OpenFileName = names.front();
        }
    }
    if (tileSet) {
        SelectTileSet();
    } else {
        SelectSingleFile();
    }
}

void TFrmMain::SelectTileSet()
{
    const TTileSetCheck check = CheckTileSet(FPanel.SelectedFiles);
    if (!check.Ok) {
        ShowError(check.Message);
        return;
    }
    EditInputFile->setText(Q(check.Message));
    ShowStatus(check.Message);
    jvMergeX->SetValue(check.Columns);
    jvMergeY->SetValue(check.Rows);
    ReadFields();
}

void TFrmMain::SelectSingleFile()
{
    ReadFields();
    if (!FileExists(OpenFileName)) {
        return;
    }
    if (Jobs.SelectInputFile(OpenFileName)) {
        // The target height shown on the Resize panel belongs to this input, not the last.
        ReadFields();
        Start.jvSplitWidthChange(TPanelField::SplitWidth);
        Start.jvSplitWidthChange(TPanelField::ResizeW);
        ShowInputInfo();
        EditInputFile->setToolTip(Q(OpenFileName));
        EditInputFile->setText(Q(FileNameOf(OpenFileName)));
    } else {
        ClearInputInfoPanel();
    }
}

void TFrmMain::ShowInputInfo()
{
    const TFileInfo& in = Tavmor.InInfo;
    const QString point = QLocale().decimalPoint();
    const char separator =
        point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode()) : '.';
    lbFileSize->setText(Q(FormatThousands(in.FileSize)));
    lbWidth->setText(Q(FormatThousands(in.Width)));
    lbHeight->setText(Q(FormatThousands(in.Height)));
    lbChannels->setText(QString::number(in.Channels));
    lbBits->setText(QString::number(in.Bits));
    lbImage->setText(Q(FormatPixelCount(static_cast<int64_t>(in.Width) * in.Height, separator)));
}

void TFrmMain::sbOutputFolderClick()
{
    if (DroppedFile) {
        DroppedFile = false;
        return;
    }
    if (Busy()) {
        return;
    }
    if (EditOutputFolder->text().isEmpty()) {
        FPanel.BrowseDirectory = DirectoryOf(Tavmor.InInfo.FileName);
        EditOutputFolder->setText(Q(FPanel.BrowseDirectory));
    }
    std::string folder;
    if (FDialogs->ChooseFolder(FPanel.BrowseDirectory, folder)) {
        FPanel.BrowseDirectory = folder;
        EditOutputFolder->setText(Q(folder));
    }
}

void TFrmMain::EditOutputFolderDblClick()
{
    EditOutputFolder->clear();
}

void TFrmMain::WMDropFiles(const std::vector<std::string>& paths, QPoint clientPos)
{
    if (paths.empty() || FPanel.CurrentPanel == TPanel::About) {
        return;
    }
    // While a job or a probe runs a drop is ignored: it must not touch the running input.
    if (Busy()) {
        return;
    }
    const bool tileSet = FPanel.CurrentPanel == TPanel::Merge;
    const int y = clientPos.y();
    const QRect input = PInput->geometry();
    const QRect output = POutput->geometry();
    const bool inInput = y >= input.top() && y <= input.bottom();
    const bool inOutput = y >= output.top() && y <= output.bottom();
    const size_t count = tileSet ? paths.size() : 1;
    bool added = false;

    for (size_t i = 0; i < count; ++i) {
        if (i % kDropRepaintEvery == 0) {
            // Repaint only: a click taken here could start a job on a half-built list.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        const std::string& path = paths[i];
        if (inInput) {
            if (!FileExists(path)) {
                continue;
            }
            DroppedFile = true;
            if (!tileSet) {
                OpenFileName = path;
                sbInputClick();
            } else {
                if (!added) {
                    FPanel.SelectedFiles.clear();
                    ShowStatus(MainText::ProcessingFilesList);
                    EditInputFile->clear();
                    added = true;
                }
                FPanel.SelectedFiles.push_back(path);
            }
        } else if (inOutput && DirectoryExists(path)) {
            DroppedFile = true;
            EditOutputFolder->setText(Q(path));
            sbOutputFolderClick();
            break;
        }
    }
    if (inInput && tileSet) {
        if (added) {
            sbInputClick();
        } else if (FPanel.SelectedFiles.empty()) {
            EditInputFile->clear();
        }
    }
    DroppedFile = false;
}

void TFrmMain::OpenStartupFile(const std::string& path)
{
    ShowPanel(TPanel::Convert);
    const std::string reason = CannotOpenReason(path);
    if (!reason.empty()) {
        ShowError(MainText::CannotOpen + path + "\n" + reason);
        return;
    }
    OpenFileName = path;
    DroppedFile = true;
    sbInputClick();
}

// ---- Start, pause, abort -------------------------------------------------------------------

void TFrmMain::btStartClick()
{
    if (Busy()) {
        return;
    }
    ++FBusy;
    {
        TScopeExit idle([this] { --FBusy; });
        // A value typed below a field's minimum is raised to it before the job reads it.
        for (TNumberEdit* e : { EditCropX, EditCropY, EditCropW, EditCropH, jvResizeW, jvSplitWidth,
                 jvSplitHeight }) {
            e->Normalize();
        }
        ReadPanel();
        Start.btStartClick();
        FlushStatus();
    }
    if (FCloseAfterJob) {
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TFrmMain::btPauseClick()
{
    if (!Jobs.Running()) {
        return;
    }
    Jobs.TogglePause();
    SetProgressPaused(Jobs.Paused);
}

void TFrmMain::btAbortClick()
{
    if (!Jobs.Running()) {
        return;
    }
    const QPoint at = ConfirmPosition();
    Jobs.ConfirmAbort(FDialogs->ConfirmAbort(at.x(), at.y()));
}

QPoint TFrmMain::ConfirmPosition() const
{
    // The frame's top-left corner, as the window's left and top edges are kept.
    return QPoint(x() + 20, y() + 100);
}

// ---- Window events -------------------------------------------------------------------------

void TFrmMain::closeEvent(QCloseEvent* event)
{
    if (Jobs.Running()) {
        event->ignore();
        if (FCloseAfterJob) {
            return;
        }
        const QPoint at = ConfirmPosition();
        if (FDialogs->ConfirmAbort(at.x(), at.y())) {
            // The job stops at its next test of Abort, deletes what it wrote, and then the
            // window closes.
            FCloseAfterJob = true;
            Jobs.ConfirmAbort(true);
        }
        return;
    }
    if (FBusy > 0) {
        // A probe is asking the user something; the window closes when that is answered.
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFrmMain::FormClose()
{
    if (!FSetupLoaded) {
        return;
    }
    // A settings file that cannot be written must not keep the window open.
    (void)Setup.Save({ x(), y(), cbCheckForUpdates->isChecked() });
    Setup.Destroy();
    FSetupLoaded = false;
}

void TFrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TFrmMain::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TFrmMain::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            paths.push_back(QFileInfo(url.toLocalFile()).absoluteFilePath().toStdString());
        }
    }
    event->acceptProposedAction();
    WMDropFiles(paths, event->position().toPoint());
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EditOutputFolder && event->type() == QEvent::MouseButtonDblClick) {
        EditOutputFolderDblClick();
        return true;
    }
    if (watched == lbAboutHomepage && event->type() == QEvent::MouseButtonRelease) {
        // Nothing is reported when no browser opens.
        QDesktopServices::openUrl(QUrl(Q(MainText::HomePage)));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
