// Hidden names for the temporaries of this process in a destination folder, owned through a
// lock file that the process holds while it has any there, and the clean-up of what a killed
// process left: entries whose lock nobody holds any more.
#pragma once

#include <string>

/// What every temporary name of the tool starts with, so that users (and the clean-up)
/// recognise it.
inline constexpr const char* kTemporaryPrefix = ".tavmor-";

/// A new hidden name in folder (ending with the separator) for a temporary file of this
/// process: folder + ".tavmor-<run>-<n>.part". The first call for a folder removes what dead
/// runs left there and takes this run's lock; "" when the lock cannot be had (the folder is
/// not writable). Pair every name with ReleaseTemporaryName once the name is gone.
std::string NewTemporaryName(const std::string& folder);
/// A new name for a scratch folder of this process inside folder: folder + prefix + ".tavmor-"
/// + <run> + "-" + <n>, owned like a temporary file; "" when the lock cannot be had.
std::string NewScratchName(const std::string& folder, const std::string& prefix);
/// Says that a name of NewTemporaryName or NewScratchName no longer exists; when the last one
/// of a folder goes, the lock file goes too.
void ReleaseTemporaryName(const std::string& folder);
/// Removes, once per folder and process, every entry that a run no longer alive left in folder:
/// those whose name holds ".tavmor-<run>-" for a run whose lock file nobody holds, and the lock.
void SweepStaleTemporaries(const std::string& folder);
