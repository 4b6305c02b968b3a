// Every text the jobs show or put in the status line, byte for byte.
#pragma once

namespace JobText {
// Start handler
inline constexpr const char* OutputDirMissing = "Output directory doesn't exists";
inline constexpr const char* OperationAborted = "Operation aborted";
inline constexpr const char* OperationCompleted = "Operation completed successfully";
// Crop (each followed by the bound in plain decimal)
inline constexpr const char* CropXRange = "X must >= 0 and < ";
inline constexpr const char* CropYRange = "Y must >= 0 and < ";
inline constexpr const char* CropWidthRange = "Width must > 0 and <= ";
inline constexpr const char* CropHeightRange = "Height must > 0 and <= ";
// Merge counts: first line, CR LF, then PleaseSelect + count + FilesWord
inline constexpr const char* FilesMissing = "One or more files are missing.";
inline constexpr const char* TooManyFiles = "Too many files selected.";
inline constexpr const char* LineBreak = "\r\n";
inline constexpr const char* PleaseSelect = "Please select ";
inline constexpr const char* FilesWord = " files";
// Input selection
inline constexpr const char* DimensionZero = "Image dimension can't be = 0";
inline constexpr const char* ImageIsValid = "Image is valid";
// Tile set selection
inline constexpr const char* InvalidFileType = "Then file type is invalid";
inline constexpr const char* TwoDifferentTypes = "You can't select two different type of files";
inline constexpr const char* CantMerge = "Can't merge the selected files";
inline constexpr const char* SelectedCountMustBe = "The number of selected files must be : ";
inline constexpr const char* FilesSelected = " files selected";
} // namespace JobText
