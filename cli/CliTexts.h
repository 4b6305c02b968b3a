// Every text that only the command line shows: its own errors, prompts and help.
#pragma once

namespace CliText {
inline constexpr const char* Program = "tavmor";
inline constexpr const char* Description =
    "Tavmor Tools 2.1.0: convert, crop, resize, split and merge very large images";
// Errors of the command line itself, each followed by the name concerned
inline constexpr const char* NoSuchFile = "No such file: ";
inline constexpr const char* NotARegularFile = "Not a regular file: ";
inline constexpr const char* RawSizeMismatch = "The RAW size and bits do not match the size of ";
// Two inputs of one call that would write one output: SameOutput + name + From + first + And +
// second
inline constexpr const char* SameOutput = "Two inputs would write the same output ";
inline constexpr const char* SameOutputFrom = ": ";
inline constexpr const char* SameOutputAnd = " and ";
// The overwrite question on a terminal is followed by this prompt
inline constexpr const char* YesNoPrompt = " [y/N] ";
// Information box captions, in the window's order
inline constexpr const char* InfoFileSize = "File size: ";
inline constexpr const char* InfoWidth = "Width:     ";
inline constexpr const char* InfoHeight = "Height:    ";
inline constexpr const char* InfoBits = "Bits:      ";
inline constexpr const char* InfoChannels = "Channels:  ";
inline constexpr const char* InfoImage = "Image:     ";
// Option help
inline constexpr const char* HelpInfo = "Show the size, depth and channels of image files";
inline constexpr const char* HelpConvert = "Rewrite whole images in another format";
inline constexpr const char* HelpCrop = "Write a rectangle of an image";
inline constexpr const char* HelpSplit = "Cut images into a grid of tiles";
inline constexpr const char* HelpMerge = "Join a grid of tiles into one image";
inline constexpr const char* HelpResize = "Shrink images to a width, keeping the aspect ratio";
inline constexpr const char* HelpFiles = "Input image files";
inline constexpr const char* HelpFile = "Input image file";
inline constexpr const char* HelpTiles = "Tile files (names ending in _x<column>y<row>)";
inline constexpr const char* HelpJson =
    "A JSON object on standard output (an array of them for several files)";
inline constexpr const char* HelpFormat = "Output format (default tif)";
inline constexpr const char* HelpOut = "Output folder (default: the input's folder)";
inline constexpr const char* HelpYes = "Overwrite existing output files";
inline constexpr const char* HelpNo = "Never overwrite existing output files";
inline constexpr const char* HelpQuiet = "No progress bar and no final status line";
inline constexpr const char* HelpRawSize = "Width and height of a RAW file whose name lacks them";
inline constexpr const char* HelpBits = "Bits per sample of such a RAW file";
inline constexpr const char* HelpX = "Left column of the rectangle";
inline constexpr const char* HelpY = "Top line of the rectangle";
inline constexpr const char* HelpCropWidth = "Width of the rectangle";
inline constexpr const char* HelpCropHeight = "Height of the rectangle";
inline constexpr const char* HelpTileWidth = "Tile width in pixels";
inline constexpr const char* HelpTileHeight = "Tile height in pixels";
inline constexpr const char* HelpResizeWidth = "Target width in pixels";
inline constexpr const char* HelpFast = "Fast method (less quality): nearest neighbour";
inline constexpr const char* RawSizeFormat = "must be WIDTHxHEIGHT, each 1 to 100000000";
} // namespace CliText
