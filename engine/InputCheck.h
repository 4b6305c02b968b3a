// Whether a path names a file the engine can read as an input image, and if not, why.
#pragma once

#include <string>

/// The words for a path that names no file at all, as every host shows them.
inline constexpr const char* kNotARegularFile = "not a regular file";

/// Why path cannot be read as an input image: the system's words for a missing or unreadable
/// file ("No such file or directory", "Permission denied"), or kNotARegularFile for a folder, a
/// FIFO, a socket or a device (reading one could hang or never end); "" for a readable regular
/// file or a link to one. Never opens the file.
std::string InputFileProblem(const std::string& path);
