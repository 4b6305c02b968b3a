// The Start handler and the recalculation of the derived panel numbers.
#include "app/StartHandler.h"

#include "engine/ScopeExit.h"
#include "engine/TavmorUtils.h"
#include "jobs/Derived.h"
#include "jobs/JobTexts.h"

const char* OutputKindName(TOutputChoice choice)
{
    switch (choice) {
    case TOutputChoice::Tif:
        return "tif";
    case TOutputChoice::TifLzw:
        return "tif-lzw";
    case TOutputChoice::Raw:
        return "raw";
    case TOutputChoice::Kro:
        return "kro";
    }
    return "tif";
}

TStartHandler::TStartHandler(TJobs& jobs, TPanelValues& panel, std::function<void()> changed)
    : Jobs(jobs)
    , Panel(panel)
    , Changed(std::move(changed))
{
}

TOutputRequest TStartHandler::OutputRequest() const
{
    TOutputRequest output;
    output.Kind = OutputKindName(Panel.Output);
    output.Folder = Panel.EditOutputFolder;
    return output;
}

void TStartHandler::btStartClick()
{
    // The window pumps messages inside a job, so a second Start can arrive while one runs.
    if (Jobs.Running()) {
        return;
    }
    Jobs.ShowStatus("");
    if (!Panel.BrowseDirectory.empty() && !DirectoryExists(Panel.BrowseDirectory)) {
        Jobs.ShowError(JobText::OutputDirMissing);
        return;
    }
    TJobResult result;
    switch (Panel.CurrentPanel) {
    case TPanel::Convert:
        result = Jobs.RunConvert({ OutputRequest() });
        break;
    case TPanel::Crop:
        result =
            Jobs.RunCrop({ OutputRequest(), Panel.CropX, Panel.CropY, Panel.CropW, Panel.CropH });
        break;
    case TPanel::Resize:
        result = Jobs.RunResize({ OutputRequest(), Panel.ResizeW, Panel.FastResize });
        break;
    case TPanel::Split:
        jvSplitWidthChange(TPanelField::SplitWidth);
        result = Jobs.RunSplit({ OutputRequest(), Panel.SplitWidth, Panel.SplitHeight });
        break;
    case TPanel::Merge:
        result =
            Jobs.RunMerge({ OutputRequest(), Panel.SelectedFiles, Panel.MergeX, Panel.MergeY });
        break;
    case TPanel::About:
        // No job behind this panel; there is no outcome to report.
        return;
    }
    Jobs.ShowStatus(
        result.Outcome == TOutcome::Done ? JobText::OperationCompleted : JobText::OperationAborted);
    Jobs.HideProgress();
    Jobs.Host.EnableButtons();
}

void TStartHandler::jvSplitWidthChange(TPanelField sender)
{
    const TFileInfo& in = Jobs.Engine.InInfo;
    if (!in.ImageIsOk) {
        return;
    }
    const int64_t w = in.Width;
    const int64_t h = in.Height;
    switch (sender) {
    case TPanelField::SplitWidth:
    case TPanelField::SplitHeight: {
        int64_t& size = sender == TPanelField::SplitWidth ? Panel.SplitWidth : Panel.SplitHeight;
        size = Derived::ClampTileSide(size, sender == TPanelField::SplitWidth ? w : h);
        if (Panel.SplitWidth >= Derived::kMinDerivedSide
            && Panel.SplitHeight >= Derived::kMinDerivedSide) {
            Panel.SplitX = Derived::TileCount(w, Panel.SplitWidth);
            Panel.SplitY = Derived::TileCount(h, Panel.SplitHeight);
        }
        break;
    }
    case TPanelField::ResizeW:
        if (Panel.ResizeW >= Derived::kMinDerivedSide && w > 0) {
            Panel.ResizeH = Derived::ResizeHeightFor(w, h, Panel.ResizeW);
        }
        break;
    default:
        return;
    }
    if (Changed) {
        Changed();
    }
}
