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
// Resize
inline constexpr const char* ResizeTooSmall = "Width and height of the input file must be > 10000";
inline constexpr const char* CannotCreateTempDir = "Cannot create the temporary directory ";
/// The Resize job's working folder inside the output folder.
inline constexpr const char* ResizeTempFolder = "$$$TEMP$$$RESIZER$$$";
inline constexpr const char* ResizeStepSplit = "Step 1/4";
inline constexpr const char* ResizeStepTiles = "Step 2/4";
inline constexpr const char* ResizeStepMerge = "Step 3/4";
inline constexpr const char* ResizeStepFinal = "Step 4/4";
// "Resizing tile " + tiles handed out + "/" + tiles of the pass
inline constexpr const char* ResizingTile = "Resizing tile ";
inline constexpr const char* ResizingTileOf = "/";
inline constexpr const char* KillingProcesses = "Killing processes...";
inline constexpr const char* ErrorCreatingResizer = "Error creating the resizer thread";
inline constexpr const char* ErrorResizing = "Error resizing the image";
} // namespace JobText
