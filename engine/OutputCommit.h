// The guard of one output file: the file is written as a temporary in its destination folder
// (unnamed where the file system allows, else under a hidden name) and takes its final name in
// one atomic step only when the output is complete; otherwise it goes, and an existing file of
// the final name is never touched.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

/// Whether the commit may replace a file that has the final name.
enum class TReplace : uint8_t {
    Never, ///< the user has not agreed: a file of that name, even a new one, stays
    Allowed, ///< the user agreed to overwrite
};

/// What a commit came to.
enum class TCommitResult : uint8_t {
    Committed,
    Exists, ///< Never: a file of the final name appeared meanwhile; the temporary is gone
    Failed, ///< Error tells why; the temporary is gone, the final name untouched
};

/// One output's temporary. Not copyable; one thread at a time. The destructor removes a
/// temporary that was neither committed nor discarded, so every way out of a job is covered.
class TOutputCommit {
public:
    TOutputCommit() = default;
    ~TOutputCommit();
    TOutputCommit(const TOutputCommit&) = delete;
    TOutputCommit& operator=(const TOutputCommit&) = delete;

    /// Creates the temporary for finalName (a path whose folder exists) and opens it for reading
    /// and writing. durable: its data reaches the disk before it takes the final name. False
    /// (Error set) when it cannot be created; nothing is left then.
    [[nodiscard]] bool Create(const std::string& finalName, TReplace replace, bool durable = true);
    /// The temporary's descriptor while it is open; -1 otherwise. It stays the guard's.
    int Fd() const { return FFd; }
    const std::string& FinalName() const { return FFinal; }
    /// The errno value of the first failure (0 when none).
    int Error() const { return FError; }
    bool Committed() const { return FCommitted; }

    /// Closes the descriptor and keeps the temporary, now under a hidden name, until Commit or
    /// Discard: a finished tile of a split waits so without holding a file open. False (Error
    /// set, temporary gone) when that fails.
    [[nodiscard]] bool Park();
    /// Gives the temporary its final name in one step (after syncing its data when durable) and
    /// closes it. Exists or Failed leave the final name as it was and the temporary gone.
    [[nodiscard]] TCommitResult Commit();
    /// Removes the temporary and closes it. Safe twice; does nothing after a commit.
    void Discard();

    /// Commits every output or none: the outputs that must not replace anything are linked to
    /// their names first, and when one fails the links made so far are taken back; then the
    /// others are renamed over their names. failedAt is the index of the one that failed.
    static TCommitResult CommitTogether(
        const std::vector<TOutputCommit*>& outputs, size_t& failedAt);

private:
    void Fail(int code);
    /// Notes the new temporary's identity; false (temporary removed) when it cannot be had.
    bool Opened();
    /// Syncs the data when durable; false (Error set) at a failure.
    bool SyncData();
    /// Gives an unnamed temporary the hidden name FTemp; false at a failure.
    bool NameTemporary();
    void CloseFd();
    void ReleaseName();

    std::string FFinal;
    std::string FFolder;
    std::string FTemp; ///< hidden name; "" while the temporary is unnamed
    int FFd = -1;
    int FError = 0;
    dev_t FDevice = 0; ///< identity of the temporary, to tell a name we gave from another's
    ino_t FInode = 0;
    TReplace FReplace = TReplace::Never;
    bool FDurable = true;
    bool FLive = false; ///< a temporary exists (named or not)
    bool FHoldsName = false; ///< FTemp came from the staging names and is not yet released
    bool FCommitted = false;
};

/// Test seam: true makes every temporary a named one, as on a file system without unnamed
/// files. Call between operations.
void ForceNamedTemporaries(bool force);
