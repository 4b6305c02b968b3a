// All of a job's output or nothing: the output is made under a hidden temporary folder in the
// destination folder and moved to its final names only when complete.
#pragma once

#include <string>
#include <vector>

/// One job's outputs in the making. The temporary folder (".tavmor-" and a unique tail) lives
/// in the destination folder, so the final moves are renames within one file system. Whatever
/// is not committed is removed when the guard goes (failure, abort or exception). One thread.
class TOutputCommit {
public:
    TOutputCommit() = default;
    ~TOutputCommit();
    TOutputCommit(const TOutputCommit&) = delete;
    TOutputCommit& operator=(const TOutputCommit&) = delete;

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
    [[nodiscard]] bool Commit(const std::vector<std::string>& entries);
    /// Removes the temporary folder and everything in it; safe twice and before Begin.
    void Discard();

private:
    std::string FFolder;
    std::string FStaging;
};
