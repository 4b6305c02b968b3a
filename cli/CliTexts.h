// Every text that only the command line shows: its own errors, prompts and help.
#pragma once

namespace CliText {
inline constexpr const char* Program = "tavmor";
inline constexpr const char* Version = "2.1.0";
inline constexpr const char* Description =
    "Tavmor Tools 2.1.0: convert, crop, resize, split and merge very large images";
// Errors of the command line itself, each after "tavmor: " and the name concerned
inline constexpr const char* NoSuchFile = "No such file";
inline constexpr const char* NotAFolder = ": it is a file, not a folder";
inline constexpr const char* Created = "created the folder";
// Added to the system's texts: how to answer otherwise, where else an output can go
inline constexpr const char* AnsweredNo = " No";
inline constexpr const char* AnsweredNoHint = " No (answer with --yes to overwrite)";
inline constexpr const char* OtherOutputHint = ": write it elsewhere with --out DIR or -o PATH";
// The final line of a split: count + TilesOf + the summary
inline constexpr const char* TilesOf = " tiles, ";
inline constexpr const char* RawSizeMismatch = "The RAW size and bits do not match the size of ";
// Two inputs of one call that would write one output: the output's name, then SameOutput +
// first + SameOutputAnd + second
inline constexpr const char* SameOutput = "two inputs would write this output: ";
inline constexpr const char* SameOutputAnd = " and ";
// Usage errors of the command line itself
inline constexpr const char* UnknownCommand = "unknown command ";
inline constexpr const char* Commands = "; the commands are: info, convert, crop, split, merge, "
                                        "resize, pyramid (tavmor --help tells more)";
inline constexpr const char* OneOutputOnly = "-o names one output: give one input file";
inline constexpr const char* UnknownOutputExtension =
    "-o: the extension does not say the format; give --format";
// The overwrite question on a terminal is followed by this prompt
inline constexpr const char* YesNoPrompt = " [y/N] ";
// Information box captions, in the window's order
inline constexpr const char* InfoFileSize = "File size:   ";
inline constexpr const char* InfoWidth = "Width:       ";
inline constexpr const char* InfoHeight = "Height:      ";
inline constexpr const char* InfoBits = "Bits:        ";
inline constexpr const char* InfoChannels = "Channels:    ";
inline constexpr const char* InfoImage = "Image:       ";
inline constexpr const char* InfoCompression = "Compression: ";
inline constexpr const char* InfoAlpha = "Alpha:       ";
inline constexpr const char* InfoProfile = "ICC profile: ";
inline constexpr const char* InfoResolution = "Resolution:  ";
inline constexpr const char* InfoOrientation = "Orientation: ";
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
    "JSON on standard output: one object for one file, an array of them for several";
inline constexpr const char* HelpFormat =
    "Output format (default tif, or what the extension of -o PATH says); tif-zstd is not read "
    "by older libtiff builds and many viewers";
inline constexpr const char* HelpOut =
    "Output folder (default: the input's folder); created when missing";
inline constexpr const char* HelpOutName =
    "The output's complete name, exactly as given (one input only)";
inline constexpr const char* HelpVersion = "Print the version and exit";
inline constexpr const char* HelpPredictor =
    "TIFF: horizontal differencing before LZW, Deflate or ZSTD (smaller files of photographs)";
inline constexpr const char* HelpLevel =
    "TIFF: compression level, tif-deflate 1 to 12 (default 6), "
    "tif-zstd 1 to 19 (default 9)";
inline constexpr const char* HelpStripRows =
    "TIFF: rows per strip (default 1; compressed outputs gain from more, e.g. 16)";
inline constexpr const char* HelpThreads =
    "TIFF: threads that compress strips (default 0: one per core); the bytes do not depend on it";
inline constexpr const char* HelpKeepAlpha = "TIFF: keep the alpha of an RGBA input (RGBA output)";
inline constexpr const char* HelpKeepMetadata =
    "TIFF: keep a TIFF input's ICC profile, resolution and (convert only) orientation";
// Notes, once per run, of what an output leaves out
inline constexpr const char* AlphaDropped =
    "the alpha channel is not kept (--keep-alpha keeps it in TIFF output)";
/// Followed by the count: samples per pixel beyond RGB and alpha that no output can hold.
inline constexpr const char* ExtraSamplesSkipped = "extra samples beyond the fourth are skipped: ";
inline constexpr const char* AlphaDroppedNotTiff =
    "the alpha channel is not kept (KRO output, or TIFF output with --keep-alpha, keeps it)";
inline constexpr const char* ProfileDropped =
    "the ICC profile is not kept (--keep-metadata keeps it in TIFF output)";
inline constexpr const char* ProfileDroppedNotTiff =
    "the ICC profile is not kept (only TIFF output with --keep-metadata keeps it)";
inline constexpr const char* TiffOptionsOnly =
    "--predictor, --level and --strip-rows apply to TIFF output (--format tif...)";
inline constexpr const char* HelpYes = "Overwrite existing output files";
inline constexpr const char* HelpNo = "Never overwrite existing output files";
inline constexpr const char* HelpQuiet = "No progress line and no final lines";
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
inline constexpr const char* HelpPyramid =
    "Write tiles and levels for zooming viewers: Deep Zoom, IIIF or a pyramidal TIFF";
inline constexpr const char* HelpLayout = "dzi (default), iiif or tiff";
inline constexpr const char* HelpTileSize = "Tile side in pixels (default 254 for dzi, else 256)";
inline constexpr const char* HelpOverlap = "Pixels shared with each neighbouring tile (dzi)";
inline constexpr const char* HelpSuffix = "Tile format: .jpg (default), .png or .webp";
inline constexpr const char* HelpQuality = "JPEG and WebP quality, 1 to 100 (default 75)";
inline constexpr const char* HelpBackground = "Colour under transparent pixels of JPEG tiles";
inline constexpr const char* HelpIiifId = "The id written into info.json (default: NAME)";
inline constexpr const char* HelpName = "Output base name (default: the input's)";
inline constexpr const char* BackgroundFormat = "must be R,G,B, each 0 to 255";
inline constexpr const char* NameNeedsOneFile = "-o NAME takes one input file";
inline constexpr const char* RawSizeFormat = "must be WIDTHxHEIGHT, each 1 to 100000000";
} // namespace CliText

namespace CliText {
// Examples at the end of each command's help
inline constexpr const char* ExamplesInfo = "Examples:\n"
                                            "  tavmor info pano.tif\n"
                                            "  tavmor info --json tiles/*.tif\n"
                                            "  tavmor info scan.raw --raw-size 6000x4000";
inline constexpr const char* ExamplesConvert =
    "Examples:\n"
    "  tavmor convert pano.tif --format kro --out converted\n"
    "  tavmor convert pano.tif --format tif-lzw -o archive/pano-lzw.tif\n"
    "  tavmor convert scan.raw --raw-size 6000x4000 --bits 16 --format tif";
inline constexpr const char* ExamplesCrop =
    "Examples:\n"
    "  tavmor crop pano.tif --x 1000 --y 500 --width 4000 --height 3000 --out crops\n"
    "  tavmor crop pano.tif --x 0 --y 0 --width 2000 --height 2000 -o corner.kro";
inline constexpr const char* ExamplesSplit =
    "Examples:\n"
    "  tavmor split pano.tif --tile-width 5000 --tile-height 5000 --out tiles\n"
    "  tavmor split pano.tif --tile-width 1000 --tile-height 1000 --format raw --out tiles";
inline constexpr const char* ExamplesMerge = "Examples:\n"
                                             "  tavmor merge tiles/*.tif --out merged\n"
                                             "  tavmor merge tiles/*.raw -o whole.tif --yes";
inline constexpr const char* ExamplesResize =
    "Examples:\n"
    "  tavmor resize pano.tif --width 2000 --out small\n"
    "  tavmor resize pano.tif --width 5000 --fast -o preview.tif";
inline constexpr const char* ExamplesPyramid =
    "Examples:\n"
    "  tavmor pyramid pano.tif --out web            (web/pano.dzi and web/pano_files/)\n"
    "  tavmor pyramid pano.tif --layout iiif --suffix .webp --out web\n"
    "  tavmor pyramid pano.tif --layout tiff --quality 85 -o pano-pyramid";
inline constexpr const char* ExamplesMain =
    "Examples:\n"
    "  tavmor info pano.tif\n"
    "  tavmor convert pano.tif --format kro --out converted\n"
    "  tavmor split pano.tif --tile-width 5000 --tile-height 5000 --out tiles\n"
    "Run 'tavmor COMMAND --help' for a command's options.";
} // namespace CliText
