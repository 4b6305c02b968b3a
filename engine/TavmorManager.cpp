// The engine record's life cycle, its hooks, the dialogs in force, libtiff's silence and the
// per-thread pending I/O error.
#include "engine/TavmorManager.h"

#include <cstdarg>
#include <mutex>

#include <tiffio.h>

#include "engine/LineFormats.h"

namespace {
thread_local int tPendingIoError = 0;

void DiscardTiffMessage(const char*, const char*, va_list) { }
} // namespace

void SilenceTiffLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(DiscardTiffMessage);
        TIFFSetErrorHandler(DiscardTiffMessage);
    });
}

int IoResult()
{
    const int code = tPendingIoError;
    tPendingIoError = 0;
    return code;
}

void SetIoResult(int code)
{
    tPendingIoError = code;
}

TTavmor::TTavmor()
{
    SilenceTiffLibrary();
}

TTavmor::~TTavmor()
{
    CloseInFile();
    (void)CloseOutFile();
}

void TTavmor::Reset()
{
    InOpen = false;
    OutOpen = false;
    ForceBigTiff = false;
}

void TTavmor::FireError(const std::string& text)
{
    if (OnError) {
        OnError(text);
    }
}

void TTavmor::FireStatus(const std::string& text)
{
    if (OnStatus) {
        OnStatus(text);
    }
}

void TTavmor::FireShowProgress(int32_t max, const std::string& caption)
{
    if (OnShowProgress) {
        OnShowProgress(max, caption);
    }
}

void TTavmor::FireUpdateProgress(int32_t position)
{
    if (OnUpdateProgress) {
        OnUpdateProgress(position);
    }
}

void TTavmor::FireHideProgress()
{
    if (OnHideProgress) {
        OnHideProgress();
    }
}

TEngineDialogs& TTavmor::UserDialogs()
{
    static TSilentDialogs silent;
    return Dialogs ? *Dialogs : silent;
}
