// Every text the window, its progress panel and its confirmation dialog show, byte for byte.
#pragma once

namespace MainText {
// Window
inline constexpr const char* AppTitle = "Tavmor Tools";
inline constexpr const char* Caption = "Tavmor Tools 2.1.0";
inline constexpr const char* HomePage = "https://tavmor-tools.example.org";
// Button row
inline constexpr const char* Convert = "Convert";
inline constexpr const char* Crop = "Crop";
inline constexpr const char* Resize = "Resize";
inline constexpr const char* Split = "Split";
inline constexpr const char* Merge = "Merge";
inline constexpr const char* About = "About";
// Input area
inline constexpr const char* InputFile = "Input file";
inline constexpr const char* InputFiles = "Input files";
inline constexpr const char* Browse = "...";
inline constexpr const char* Info = "Info";
inline constexpr const char* FileSize = "File size:";
inline constexpr const char* Width = "Width:";
inline constexpr const char* Height = "Height:";
inline constexpr const char* Bits = "Bits:";
inline constexpr const char* Channels = "Channels:";
inline constexpr const char* Image = "Image:";
inline constexpr const char* NoValue = "-";
inline constexpr const char* ProcessingFilesList = "Processing input files list";
// Operation panels
inline constexpr const char* ConvertTitle = "Convert image";
inline constexpr const char* ConvertSubtitle = "Convert the image to a different file format";
inline constexpr const char* CropTitle = "Crop image";
inline constexpr const char* CropSubtitle = "Crop the image using the given coordinates and size";
inline constexpr const char* ResizeTitle = "Resize image";
inline constexpr const char* ResizeSubtitle = "Resize the image using the given width";
inline constexpr const char* SplitTitle = "Split image";
inline constexpr const char* SplitSubtitle = "Slice the image into many smaller tiles";
inline constexpr const char* MergeTitle = "Merge images";
inline constexpr const char* MergeSubtitle = "Merge multiple tiles into one image";
inline constexpr const char* TopLeftPoint = "Top left point";
inline constexpr const char* Size = "Size";
inline constexpr const char* ImageSize = "Image size";
inline constexpr const char* TileDimensions = "Tile dimensions";
inline constexpr const char* NumberOfTiles = "Number of tiles";
inline constexpr const char* FieldX = "X";
inline constexpr const char* FieldY = "Y";
inline constexpr const char* FieldWidth = "Width";
inline constexpr const char* FieldHeight = "Height";
inline constexpr const char* FastResize = "Fast method (less quality)";
inline constexpr const char* SlowResize = "Slow method (better quality)";
// Output area
inline constexpr const char* OutputFormat = " Output format ";
inline constexpr const char* OutputDirectory = "Output directory";
inline constexpr const char* Start = "Start";
// About panel
inline constexpr const char* HomePageLabel = "Home page";
inline constexpr const char* CheckForUpdates = "Check for updates";
inline constexpr const char* AutoCheck = " Automatically check for updates on startup";
inline constexpr const char* NewVersionAvailable = "New software version available";
inline constexpr const char* NoNewUpdates = "No new updates available";
inline constexpr const char* CheckingForUpdates = "Checking for updates...";
// Progress panel
inline constexpr const char* ProgressInfo = "Progress info";
inline constexpr const char* Pause = "Pause";
inline constexpr const char* Continue = "Continue";
inline constexpr const char* Abort = "Abort";
// Confirmation dialog
inline constexpr const char* Confirm = "Confirm";
inline constexpr const char* AbortQuestion =
    "Are you sure you want to abort the current operation?";
inline constexpr const char* Yes = "&Yes";
inline constexpr const char* No = "&No";
// Dialogs
inline constexpr const char* OpenTitle = "Tavmor Tools - input file";
inline constexpr const char* OpenFilters =
    "TIF (*.tif *.tiff);;RAW (*.raw *.rgb);;KRO (*.kro);;"
    "All suported file types (*.tif *.tiff *.raw *.rgb *.kro)";
inline constexpr const char* OpenDefaultFilter =
    "All suported file types (*.tif *.tiff *.raw *.rgb *.kro)";
// Tooltips: what each button and field does, with its key where it has one
inline constexpr const char* TipConvert = "Convert the image to another file format (Ctrl+1)";
inline constexpr const char* TipCrop = "Cut a rectangle out of the image (Ctrl+2)";
inline constexpr const char* TipResize = "Resize the image to a new width (Ctrl+3)";
inline constexpr const char* TipSplit = "Slice the image into tiles (Ctrl+4)";
inline constexpr const char* TipMerge = "Join tiles made by Split into one image (Ctrl+5)";
inline constexpr const char* TipAbout = "Version, home page and update check";
inline constexpr const char* TipInputFile =
    "The input image: choose it with the button on the right (Ctrl+O) or drop it here";
inline constexpr const char* TipInputFiles =
    "The tiles to merge: choose them all with the button on the right (Ctrl+O) or drop "
    "them here";
inline constexpr const char* TipBrowseInput = "Choose the input image, or the tiles (Ctrl+O)";
inline constexpr const char* TipCropX = "Left edge of the rectangle, in pixels from the left";
inline constexpr const char* TipCropY = "Top edge of the rectangle, in pixels from the top";
inline constexpr const char* TipCropW = "Width of the rectangle, in pixels";
inline constexpr const char* TipCropH = "Height of the rectangle, in pixels";
inline constexpr const char* TipResizeW = "Width of the resized image, in pixels";
inline constexpr const char* TipResizeH =
    "Height of the resized image, in pixels: follows the width";
inline constexpr const char* TipFastResize = "Quicker resampling, lower quality";
inline constexpr const char* TipSlowResize = "Slower resampling, better quality";
inline constexpr const char* TipSplitW = "Width of each tile, in pixels";
inline constexpr const char* TipSplitH = "Height of each tile, in pixels";
inline constexpr const char* TipSplitX = "Number of tile columns: follows the tile width";
inline constexpr const char* TipSplitY = "Number of tile rows: follows the tile height";
inline constexpr const char* TipMergeX = "Number of tile columns, read from the tile names";
inline constexpr const char* TipMergeY = "Number of tile rows, read from the tile names";
inline constexpr const char* TipTif = "Write an uncompressed TIFF";
inline constexpr const char* TipTifLzw = "Write a TIFF compressed with LZW (lossless)";
inline constexpr const char* TipRaw = "Write headerless RAW samples; the size goes into the name";
inline constexpr const char* TipKro = "Write a KRO file";
inline constexpr const char* TipOutputFolder =
    "The folder the output is written to; empty writes it beside the input. Double-click "
    "to empty it";
inline constexpr const char* TipBrowseOutput = "Choose the folder the output is written to";
inline constexpr const char* TipStart = "Run the operation of this panel (Ctrl+Return)";
inline constexpr const char* TipHomePage = "Open the home page in the browser";
inline constexpr const char* TipCheckNow = "Ask the update server whether a newer version exists";
inline constexpr const char* TipAutoCheck = "Ask for a newer version each time the window opens";
inline constexpr const char* TipPause = "Hold the running operation, or let it go on";
inline constexpr const char* TipAbort = "Stop the running operation; asks first (Esc)";
inline constexpr const char* TipYes = "Stop the running operation";
inline constexpr const char* TipNo = "Let the operation go on";
// A file named on the command line that cannot be opened: this, the path, a line break and
// the system's reason.
inline constexpr const char* CannotOpen = "Cannot open ";
} // namespace MainText

/// The command line of tavmor-tools: what it prints on its own streams.
namespace WindowCliText {
inline constexpr const char* Program = "tavmor-tools";
inline constexpr const char* Help =
    "Usage: tavmor-tools [OPTION]... [FILE]\n"
    "Opens the Tavmor Tools window, to convert, crop, resize, split and merge images too\n"
    "large for memory. FILE (.tif, .tiff, .raw, .rgb or .kro) becomes the input of the\n"
    "Convert panel.\n"
    "\n"
    "  -h, --help       print this help and exit\n"
    "  -v, --version    print the versions of the program, libtiff and Qt, and exit\n"
    "  --               what follows is the file, even if it begins with '-'\n"
    "\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are taken as well.\n"
    "Keys in the window: Ctrl+O input, Ctrl+1 to Ctrl+5 panels, Ctrl+Return start,\n"
    "Esc abort.\n"
    "The tavmor command does the same work without a window: see 'tavmor --help'.\n";
inline constexpr const char* UnknownOption = "unknown option ";
inline constexpr const char* TryHelp = "Try 'tavmor-tools --help' for more information.";
inline constexpr const char* OnlyOneFile = "only one file can be opened; ignored: ";
inline constexpr const char* NoDisplay = "no display to open the window on (DISPLAY is not set)";
inline constexpr const char* NoWaylandDisplay =
    "no display to open the window on (WAYLAND_DISPLAY is not set)";
inline constexpr const char* CannotOpenDisplay = "cannot open the window on display ";
inline constexpr const char* CannotStartPlatform = "cannot open the window with the Qt platform ";
inline constexpr const char* WithoutWindow = "; the tavmor command works without one";
} // namespace WindowCliText
