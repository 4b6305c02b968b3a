// Probing an input: the format its extension selects describes it without reading pixels.
#include "engine/Formats.h"
#include "engine/Streaming.h"
#include "engine/TavmorManager.h"

void ProbeFile(TFileInfo& info, TEngineDialogs& dialogs, bool askUser)
{
    info.ImageIsOk = false;
    const TFormat* format = FormatForPath(info.FileName);
    if (format) {
        format->Probe(info, dialogs, askUser);
    }
}

void TTavmor::CheckFile(bool AskUser)
{
    ProbeFile(InInfo, UserDialogs(), AskUser);
}

void TTavmor::CheckKroFile()
{
    FormatOf(FileType::KRO)->Probe(InInfo, UserDialogs(), false);
}

void TTavmor::CheckTifFile()
{
    FormatOf(FileType::TIF)->Probe(InInfo, UserDialogs(), false);
}

void TTavmor::CheckRawFile(bool AskUser)
{
    FormatOf(FileType::RAW)->Probe(InInfo, UserDialogs(), AskUser);
}
