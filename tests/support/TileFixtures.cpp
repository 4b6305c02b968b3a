// Helpers of the split and merge tests.
#include "support/TileFixtures.h"

#include <gtest/gtest.h>

#include "engine/OpenFileLimit.h"
#include "engine/TavmorUtils.h"

namespace TileFixtures {

bool WriteImageFile(const std::string& path, const TestImages::TPixels& image)
{
    const std::string ext = UpperExtensionOf(path);
    if (ext == ".TIF" || ext == ".TIFF") {
        return TestImages::WriteTiff(path, image);
    }
    if (ext == ".KRO") {
        return TestImages::WriteKro(path, image);
    }
    if (ext == ".RAW") {
        return TestImages::WriteRaw(path, image);
    }
    return false;
}

bool ProbeInto(TTavmor& engine, const std::string& path)
{
    engine.InInfo = TFileInfo {};
    engine.InInfo.FileName = path;
    engine.CheckFile(false);
    return engine.InInfo.ImageIsOk;
}

TOpenFileAllowance::TOpenFileAllowance(uint64_t more)
{
    // Raise first: the engine's own raise happens once per process and must not undo ours.
    RaiseOpenFileLimit();
    if (getrlimit(RLIMIT_NOFILE, &Saved) != 0) {
        ADD_FAILURE() << "getrlimit failed";
        return;
    }
    const uint64_t soft = Saved.rlim_cur == RLIM_INFINITY ? UINT64_MAX : Saved.rlim_cur;
    const uint64_t inUse = soft - OpenFilesAvailable();
    rlimit lowered = Saved;
    lowered.rlim_cur = inUse + more;
    if (setrlimit(RLIMIT_NOFILE, &lowered) != 0) {
        ADD_FAILURE() << "setrlimit failed";
    }
}

TOpenFileAllowance::~TOpenFileAllowance()
{
    setrlimit(RLIMIT_NOFILE, &Saved);
}

} // namespace TileFixtures
