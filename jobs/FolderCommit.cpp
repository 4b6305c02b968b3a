// Staging an output in a hidden folder beside its final place, then renaming it into place.
#include "jobs/FolderCommit.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <utility>

#include "engine/IoSeam.h"
#include "engine/Staging.h"

namespace {

/// What a path is now: 0 nothing, 1 a folder, 2 anything else.
int KindOf(const std::string& path)
{
    struct stat st { };
    if (lstat(path.c_str(), &st) != 0) {
        return 0;
    }
    return S_ISDIR(st.st_mode) ? 1 : 2;
}

} // namespace

TFolderCommit::~TFolderCommit()
{
    Discard();
}

bool TFolderCommit::Begin(const std::string& folder)
{
    Discard();
    FFolder = folder;
    const std::string name = NewScratchName(folder, "");
    if (name.empty()) {
        return false;
    }
    FHoldsName = true;
    if (mkdir(name.c_str(), 0777) != 0) {
        ReleaseTemporaryName(FFolder);
        FHoldsName = false;
        return false;
    }
    FStaging = name + "/";
    return true;
}

bool TFolderCommit::Commit(const std::vector<std::string>& entries, bool replace)
{
    if (FStaging.empty()) {
        return false;
    }
    // (final path, where its former holder went or "") of each entry moved.
    std::vector<std::pair<std::string, std::string>> moved;
    bool ok = true;
    for (size_t i = 0; ok && i < entries.size(); ++i) {
        const std::string staged = FStaging + entries[i];
        const std::string final = FFolder + entries[i];
        const int existing = KindOf(final);
        std::string aside;
        // A file is replaced in one rename; a folder (or a change of kind) is moved aside first,
        // since rename does not replace a folder that holds anything.
        if (existing == 1 || (existing != 0 && KindOf(staged) == 1)) {
            aside = FStaging + ".replaced-" + std::to_string(i);
            if (std::rename(final.c_str(), aside.c_str()) != 0) {
                ok = false;
                break;
            }
        }
        // Where nothing stood, nothing that appeared meanwhile is replaced unless agreed.
        const bool noReplace = !replace && existing == 0;
        if (IoSeam().Rename(staged.c_str(), final.c_str(), noReplace) != 0) {
            if (!aside.empty()) {
                (void)std::rename(aside.c_str(), final.c_str());
            }
            ok = false;
            break;
        }
        moved.emplace_back(final, aside);
    }
    if (!ok) {
        // Back out in reverse order. A file that replaced another in one rename leaves the
        // old one lost already; everything else goes back where it was.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            const std::string name = it->first.substr(FFolder.size());
            (void)std::rename(it->first.c_str(), (FStaging + name).c_str());
            if (!it->second.empty()) {
                (void)std::rename(it->second.c_str(), it->first.c_str());
            }
        }
    }
    Discard();
    return ok;
}

void TFolderCommit::Discard()
{
    if (!FStaging.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(FStaging, ignored);
        FStaging.clear();
    }
    if (FHoldsName) {
        ReleaseTemporaryName(FFolder);
        FHoldsName = false;
    }
}
