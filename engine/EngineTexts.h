// Every text the engine shows or reports, byte for byte.
#pragma once

namespace EngineText {
// Probes
inline constexpr const char* KroHeaderError = "KRO Header error";
inline constexpr const char* BitsMust8Or16 = "The image must be 8 or 16 bits";
inline constexpr const char* ChannelsMust4 = "The number of color channels must be 4";
inline constexpr const char* ChannelsMust3Or4 = "The number of color channels must be 3 or 4";
inline constexpr const char* HeightOrWidth0 = "Height or Width = 0";
inline constexpr const char* InvalidRawSize = "Invalid width, height or bits";
inline constexpr const char* DimensionsExceedLimits = "Image dimensions exceed internal limits";
inline constexpr const char* TiffNotRgb = "The TIFF image must be RGB or RGBA";
inline constexpr const char* TiffSampleFormat = "The TIFF samples must be unsigned integers";
inline constexpr const char* TiffCompression = "The TIFF compression method is not supported";
// Line input and output
inline constexpr const char* InNotEnoughMemory = "Tavmor.OpenInFile : Not enough memory";
inline constexpr const char* NotEnoughMemory = "Not enough memory";
inline constexpr const char* WriteToFileError = "Write to file error";
inline constexpr const char* CannotOverwriteInput = "Cannot overwrite input file";
inline constexpr const char* OutputExists = "Output file exists. Do you want to overwrite it?";
inline constexpr const char* NotEnoughSpace =
    "There is not enough space on the destination directory";
// Region copy
inline constexpr const char* FileNotFound = "File not found";
inline constexpr const char* ErrorOpeningInput = "Error opening input file";
inline constexpr const char* ReadFileError = "Read file error";
inline constexpr const char* RegionOutsideImage = "The region lies outside the image";
inline constexpr const char* SkippingLines = "Skipping lines... (";
inline constexpr const char* SavingLines = "Saving lines... (";
// Split
inline constexpr const char* FileNotFoundOrBad = "File not found or bad file!";
inline constexpr const char* CantCreateFile = "Cant't create file ";
inline constexpr const char* InputFileReadError = "Input file read error";
inline constexpr const char* ProcessingRow = "Processing row ";
// Split and merge: a row of tiles needs more open files than the system grants the program.
inline constexpr const char* TooManyTileColumns =
    "Too many tile columns: the system does not allow this many open files";
// Merge
inline constexpr const char* TileX = "Tile X=";
inline constexpr const char* TileY = " Y=";
inline constexpr const char* TileNotValid = " is not valid";
inline constexpr const char* TileReadError = " read error";
inline constexpr const char* CannotCreateTheFile = "Cannot create the file ";
inline constexpr const char* ErrorInTileDimensions = "Found error in tile dimensions";
} // namespace EngineText
