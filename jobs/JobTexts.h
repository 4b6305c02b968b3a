// Every text the jobs and the input selection show or report, byte for byte.
#pragma once

namespace JobText {
// Input selection
inline constexpr const char* InvalidFileType = "Then file type is invalid";
inline constexpr const char* TwoDifferentTypes = "You can't select two different type of files";
inline constexpr const char* CantMerge = "Can't merge the selected files";
inline constexpr const char* SelectedCountMustBe = "The number of selected files must be : ";
inline constexpr const char* FilesSelected = " files selected";
} // namespace JobText
