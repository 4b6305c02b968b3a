// Where a pyramid's tiles land: one file per tile (Deep Zoom, IIIF), or the pages of a tiled
// pyramidal TIFF.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/PyramidTiff.h"
#include "jobs/PyramidLayout.h"
#include "jobs/PyramidTiler.h"

/// Writes `bytes` as the whole of a new file at path (replacing one). False when it cannot be
/// created or written; a partial file may remain for the caller to remove. Any thread.
[[nodiscard]] bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size);

/// One file per tile under `root` (ending with the separator), named by the layout; the folders
/// a tile needs are made as it comes. Workers call it concurrently.
class TTileFileSink final : public TTileSink {
public:
    TTileFileSink(const TPyramidLayout& layout, std::string root);

    bool Ordered() const override { return false; }
    [[nodiscard]] bool Put(
        uint32_t reduction, uint32_t column, uint32_t row, std::vector<uint8_t>& bytes) override;
    std::string Failure() const override;

private:
    void Fail(const std::string& text);

    const TPyramidLayout& FLayout;
    std::string FRoot;
    mutable std::mutex FMutex;
    std::string FFailure;
};

/// The tiles of a pyramidal TIFF, handed in order to its writer; each level is one page.
class TTiffPagesSink final : public TTileSink {
public:
    explicit TTiffPagesSink(TPyramidTiffWriter& writer);

    bool Ordered() const override { return true; }
    [[nodiscard]] bool Put(
        uint32_t reduction, uint32_t column, uint32_t row, std::vector<uint8_t>& bytes) override;
    std::string Failure() const override { return FFailure; }

private:
    TPyramidTiffWriter& FWriter;
    std::string FFailure;
};
