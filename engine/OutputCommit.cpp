// Creating, parking, committing and removing the temporaries of outputs.
#include "engine/OutputCommit.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/FileNames.h"
#include "engine/IoSeam.h"
#include "engine/Staging.h"

namespace {

std::atomic<bool> gForceNamed { false };

std::string FolderOf(const std::string& path)
{
    const std::string folder = DirectoryOf(path);
    return folder.empty() ? std::string { '.', kPathSeparator } : folder;
}

std::string SelfPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

/// Whether path names the file of that device and inode (a name we gave, not one that a
/// later file took).
bool IsFile(const std::string& path, dev_t device, ino_t inode)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

} // namespace

void ForceNamedTemporaries(bool force)
{
    gForceNamed = force;
}

TOutputCommit::~TOutputCommit()
{
    Discard();
}

void TOutputCommit::Fail(int code)
{
    if (FError == 0) {
        FError = code != 0 ? code : EIO;
    }
}

bool TOutputCommit::Create(const std::string& finalName, TReplace replace, bool durable)
{
    Discard();
    FFinal = finalName;
    FFolder = FolderOf(finalName);
    FReplace = replace;
    FDurable = durable;
    FError = 0;
    FCommitted = false;
    FTemp.clear();
    // What runs that are gone left here goes first.
    SweepStaleTemporaries(FFolder);
    // An unnamed file vanishes with the process whatever ends it; a hidden name needs the
    // run's lock so that a later run can tell it from a live one's.
    if (!gForceNamed) {
        FFd = IoSeam().Open(FFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        // Linking it later goes through /proc; without /proc a named temporary is the safe way.
        if (FFd >= 0 && ::access("/proc/self/fd", X_OK) != 0) {
            (void)IoSeam().Close(FFd);
            FFd = -1;
        }
        if (FFd >= 0) {
            return Opened();
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
            Fail(errno);
            return false;
        }
    }
    FTemp = NewTemporaryName(FFolder);
    if (FTemp.empty()) {
        Fail(errno != 0 ? errno : EACCES);
        return false;
    }
    FHoldsName = true;
    FFd = IoSeam().Open(FTemp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (FFd < 0) {
        Fail(errno);
        ReleaseName();
        return false;
    }
    return Opened();
}

bool TOutputCommit::Opened()
{
    FLive = true;
    struct stat st { };
    if (::fstat(FFd, &st) != 0) {
        Fail(errno);
        Discard();
        return false;
    }
    FDevice = st.st_dev;
    FInode = st.st_ino;
    return true;
}

bool TOutputCommit::SyncData()
{
    if (!FDurable || FFd < 0) {
        return true;
    }
    if (IoSeam().Sync(FFd) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TOutputCommit::NameTemporary()
{
    if (!FTemp.empty()) {
        return true;
    }
    FTemp = NewTemporaryName(FFolder);
    if (FTemp.empty()) {
        Fail(errno != 0 ? errno : EACCES);
        return false;
    }
    FHoldsName = true;
    if (IoSeam().Link(SelfPath(FFd).c_str(), FTemp.c_str()) != 0) {
        Fail(errno);
        ReleaseName();
        FTemp.clear();
        return false;
    }
    return true;
}

void TOutputCommit::CloseFd()
{
    if (FFd >= 0) {
        if (IoSeam().Close(FFd) != 0) {
            Fail(errno);
        }
        FFd = -1;
    }
}

void TOutputCommit::ReleaseName()
{
    if (FHoldsName) {
        ReleaseTemporaryName(FFolder);
        FHoldsName = false;
    }
}

bool TOutputCommit::Park()
{
    if (!FLive) {
        return false;
    }
    if (!SyncData() || !NameTemporary()) {
        Discard();
        return false;
    }
    const int before = FError;
    CloseFd();
    if (FError != before) {
        Discard();
        return false;
    }
    return true;
}

TCommitResult TOutputCommit::Commit()
{
    size_t failedAt = 0;
    return CommitTogether({ this }, failedAt);
}

void TOutputCommit::Discard()
{
    if (FLive && !FCommitted) {
        if (!FTemp.empty()) {
            (void)::unlink(FTemp.c_str());
        }
    }
    if (FFd >= 0) {
        (void)IoSeam().Close(FFd);
        FFd = -1;
    }
    FLive = false;
    ReleaseName();
    FTemp.clear();
}

TCommitResult TOutputCommit::CommitTogether(
    const std::vector<TOutputCommit*>& outputs, size_t& failedAt)
{
    failedAt = 0;
    std::vector<size_t> linked;
    // Takes back the names given so far (those still ours) and removes every temporary.
    auto failAll = [&](size_t at) {
        failedAt = at;
        for (size_t k : linked) {
            TOutputCommit& o = *outputs[k];
            if (IsFile(o.FFinal, o.FDevice, o.FInode)) {
                (void)::unlink(o.FFinal.c_str());
            }
        }
        for (TOutputCommit* output : outputs) {
            output->Discard();
        }
    };
    for (size_t i = 0; i < outputs.size(); ++i) {
        TOutputCommit& o = *outputs[i];
        if (!o.FLive || !o.SyncData()) {
            o.Fail(EIO);
            failAll(i);
            return TCommitResult::Failed;
        }
    }
    // The outputs that must not replace anything are linked first: a link never replaces, and
    // a link made can be taken back while it is ours.
    for (size_t i = 0; i < outputs.size(); ++i) {
        TOutputCommit& o = *outputs[i];
        if (o.FReplace != TReplace::Never) {
            continue;
        }
        const std::string from = o.FTemp.empty() ? SelfPath(o.FFd) : o.FTemp;
        if (IoSeam().Link(from.c_str(), o.FFinal.c_str()) != 0) {
            const int code = errno;
            o.Fail(code);
            failAll(i);
            return code == EEXIST ? TCommitResult::Exists : TCommitResult::Failed;
        }
        linked.push_back(i);
    }
    // Only a name can be renamed over another in one step: an unnamed output that replaces a
    // file gets a hidden one first. Then every descriptor is closed, since a failed close may
    // mean lost data; nothing has been replaced yet.
    for (size_t i = 0; i < outputs.size(); ++i) {
        TOutputCommit& o = *outputs[i];
        const int before = o.FError;
        if ((o.FReplace == TReplace::Allowed && !o.NameTemporary())
            || (o.CloseFd(), o.FError != before)) {
            failAll(i);
            return TCommitResult::Failed;
        }
    }
    // Several replacements are one step for the user: the files they replace are kept under
    // hidden names until all are in place, and put back should one of them fail.
    std::vector<size_t> replacing;
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i]->FReplace == TReplace::Allowed) {
            replacing.push_back(i);
        }
    }
    std::vector<std::string> backups(outputs.size());
    auto dropBackups = [&] {
        for (size_t k : replacing) {
            if (!backups[k].empty()) {
                (void)::unlink(backups[k].c_str());
                ReleaseTemporaryName(outputs[k]->FFolder);
                backups[k].clear();
            }
        }
    };
    if (replacing.size() > 1) {
        for (size_t k : replacing) {
            TOutputCommit& o = *outputs[k];
            std::string backup = NewTemporaryName(o.FFolder);
            if (backup.empty()) {
                continue;
            }
            if (::linkat(AT_FDCWD, o.FFinal.c_str(), AT_FDCWD, backup.c_str(), 0) == 0) {
                backups[k] = backup;
            } else {
                ReleaseTemporaryName(o.FFolder);
            }
        }
    }
    for (size_t r = 0; r < replacing.size(); ++r) {
        TOutputCommit& o = *outputs[replacing[r]];
        if (IoSeam().Rename(o.FTemp.c_str(), o.FFinal.c_str(), false) != 0) {
            o.Fail(errno);
            // Put back what the replacements made so far took away; a name that had no file
            // before loses the new one.
            for (size_t q = 0; q < r; ++q) {
                const size_t k = replacing[q];
                TOutputCommit& done = *outputs[k];
                if (!backups[k].empty()) {
                    if (::rename(backups[k].c_str(), done.FFinal.c_str()) == 0) {
                        ReleaseTemporaryName(done.FFolder);
                        backups[k].clear();
                    }
                } else if (IsFile(done.FFinal, done.FDevice, done.FInode)) {
                    (void)::unlink(done.FFinal.c_str());
                }
                done.FCommitted = false;
                done.FLive = false;
                done.ReleaseName();
                done.FTemp.clear();
            }
            dropBackups();
            failAll(replacing[r]);
            return TCommitResult::Failed;
        }
        o.FCommitted = true;
    }
    dropBackups();
    for (size_t k : linked) {
        TOutputCommit& o = *outputs[k];
        if (!o.FTemp.empty()) {
            (void)::unlink(o.FTemp.c_str());
        }
        o.FCommitted = true;
    }
    for (TOutputCommit* output : outputs) {
        output->FLive = false;
        output->ReleaseName();
        output->FTemp.clear();
    }
    return TCommitResult::Committed;
}
