// All of a job's output or nothing: the output is made under a hidden temporary folder in the
// destination folder and moved to its final names only when complete.
#pragma once

#include <string>
#include <vector>

/// One job's outputs in the making. The temporary folder (a hidden ".tavmor-<run>-<n>" of this
/// run, see engine/Staging.h, so that what a killed run leaves is removed by the next) lives in
/// the destination folder, so the final moves are renames within one file system. Whatever is
/// not committed is removed when the guard goes (failure, abort or exception). One thread.
class TFolderCommit {
public:
    TFolderCommit() = default;
    ~TFolderCommit();
    TFolderCommit(const TFolderCommit&) = delete;
    TFolderCommit& operator=(const TFolderCommit&) = delete;

    /// Makes the temporary folder in `folder` (which ends with the separator). False when it
    /// cannot be made.
    [[nodiscard]] bool Begin(const std::string& folder);
    /// The temporary folder, ending with the separator ("" before Begin).
    const std::string& Staging() const { return FStaging; }
    /// Moves each entry (a file or folder made in Staging() under its final name) into the
    /// destination folder, in order, replacing what bears that name there (a file in one
    /// rename; a folder is moved aside first). Then removes the temporary folder with what was
    /// replaced. False when a move failed: the entries moved so far are taken back and what
    /// they replaced is put back, as far as the file system allows.
    /// replace: the user agreed to replace what bears an entry's name; without it an entry
    /// never replaces a file that appeared meanwhile (the commit then fails, taking back what
    /// it moved).
    [[nodiscard]] bool Commit(const std::vector<std::string>& entries, bool replace);
    /// Removes the temporary folder and everything in it; safe twice and before Begin.
    void Discard();

private:
    std::string FFolder;
    std::string FStaging;
    bool FHoldsName = false;
};
