// Helpers of the split and merge tests: writing an image in the kind its name says, probing
// it into an engine, and running with only a few more files allowed open.
#pragma once

#include <cstdint>
#include <string>
#include <sys/resource.h>

#include "engine/TavmorManager.h"
#include "support/TestImages.h"

namespace TileFixtures {

/// Writes image as a TIFF, KRO or RAW file by the extension of path; false when the
/// extension is none of these or the writer refused.
[[nodiscard]] bool WriteImageFile(const std::string& path, const TestImages::TPixels& image);

/// Puts path into engine.InInfo and probes it without asking; true when it was accepted.
[[nodiscard]] bool ProbeInto(TTavmor& engine, const std::string& path);

/// Lowers the soft limit of open files, for its lifetime, so that only `more` files beyond
/// those open now may be opened; restores the limit when it ends.
class TOpenFileAllowance {
public:
    explicit TOpenFileAllowance(uint64_t more);
    ~TOpenFileAllowance();
    TOpenFileAllowance(const TOpenFileAllowance&) = delete;
    TOpenFileAllowance& operator=(const TOpenFileAllowance&) = delete;

private:
    rlimit Saved {};
};

} // namespace TileFixtures
