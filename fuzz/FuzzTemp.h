// A scratch folder for one fuzzing process, on a memory file system when there is one, and
// the helpers that put an input there and empty it again between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace FuzzTemp {

/// The process's scratch folder, created on first use and ending with '/'.
const std::string& Folder();
/// Writes size bytes to Folder() + name; returns the full path ("" when it failed).
std::string WriteFile(const std::string& name, const uint8_t* data, size_t size);
/// Deletes everything inside the folder (the folder stays).
void Empty(const std::string& folder);

} // namespace FuzzTemp
