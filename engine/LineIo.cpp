// The engine's line I/O front: opening, reading, writing and closing its input and output one
// line at a time, through the image files of the operations.
#include "engine/EngineTexts.h"
#include "engine/Repack.h"
#include "engine/TavmorManager.h"

bool TTavmor::OpenInFile(const std::string& Name)
{
    SilenceTiffLibrary();
    CloseInFile();
    const bool ok = FIn.Open(InInfo, Name);
    if (!ok && FIn.OutOfMemory()) {
        UserDialogs().ShowMessage(EngineText::InNotEnoughMemory);
    }
    InInfo.ScanLineSize = FIn.Info().ScanLineSize;
    InInfo.ScanLine = ok ? FIn.Info().ScanLine : nullptr;
    InOpen = ok;
    return ok;
}

void TTavmor::CloseInFile()
{
    FIn.Close();
    InOpen = false;
    InInfo.ScanLine = nullptr;
}

int32_t TTavmor::ReadLine(int32_t Row)
{
    return InOpen ? FIn.ReadLine(Row) : 0;
}

bool TTavmor::OpenOutFile(const std::string& Name)
{
    SilenceTiffLibrary();
    FOut.Discard();
    OutOpen = false;
    TRunContext run = RunContext();
    const bool ok = FOut.Open(Name, OutInfo.Width, OutInfo.Height, InInfo.Bits, InInfo.Channels,
        OutputSpec(), InInfo.FileName, run);
    // The description as far as the open got; size, kind text and validity stay the caller's.
    const TFileInfo& made = FOut.Info();
    OutInfo.FileName = made.FileName.empty() ? OutInfo.FileName : made.FileName;
    OutInfo.Bits = made.Bits;
    OutInfo.Channels = made.Channels;
    OutInfo.BytesPerPixel = made.BytesPerPixel;
    OutInfo.IsLsb = made.IsLsb;
    OutInfo.ScanLineSize = made.ScanLineSize;
    OutInfo.ScanLine = ok ? made.ScanLine : nullptr;
    OutOpen = ok;
    return ok;
}

bool TTavmor::CloseOutFile()
{
    bool ok = true;
    if (OutOpen) {
        if (Abort) {
            FOut.Discard();
        } else {
            ok = FOut.Commit() == TCommitResult::Committed;
        }
    }
    FOut.Discard();
    OutOpen = false;
    OutInfo.ScanLine = nullptr;
    return ok;
}

int32_t TTavmor::WriteLine(uint32_t Row)
{
    return OutOpen ? FOut.WriteLine(Row) : 0;
}

void TTavmor::RepackLine(const TFileInfo& Source, uint32_t SourceX, const TFileInfo& Target,
    uint32_t TargetX, uint32_t Count)
{
    ::RepackLine(Source, SourceX, Target, TargetX, Count);
}
