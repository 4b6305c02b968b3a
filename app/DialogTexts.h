// Every text the RAW parameters dialog and the update check show or send, byte for byte.
#pragma once

namespace DialogText {
// RAW parameters dialog
inline constexpr const char* RawInfoCaption = "Open file";
inline constexpr const char* RawInfoHeader = "RAW Info";
inline constexpr const char* FileSizeLabel = "File size :";
inline constexpr const char* WidthLabel = "Width :";
inline constexpr const char* HeightLabel = "Height :";
inline constexpr const char* BitsLabel = "Bits :";
inline constexpr const char* Bits8 = "8";
inline constexpr const char* Bits16 = "16";
inline constexpr const char* InitialSide = "0";
inline constexpr const char* MaxSideText = "100000000";
inline constexpr const char* TipRawWidth = "Width of the RAW image, in pixels";
inline constexpr const char* TipRawHeight = "Height of the RAW image, in pixels";
inline constexpr const char* TipBits8 = "8 bits per sample";
inline constexpr const char* TipBits16 = "16 bits per sample";
inline constexpr const char* TipRawAccept = "Open the file with this width and height";
inline constexpr const char* TipRawCancel = "Do not open the file";
// Update check (the About panel's result label)
inline constexpr const char* CheckingForUpdates = "Checking for updates...";
inline constexpr const char* NewVersionAvailable = "New software version available";
inline constexpr const char* NoNewUpdates = "No new updates available";
inline constexpr const char* CouldNotCheck = "Could not check for updates";
// The update request
inline constexpr const char* UpdateUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 6.0; it;rv:1.8.1.12";
inline constexpr const char* UpdatePath = "/version.php";
inline constexpr const char* UpdateQuery = "software=TavmorTools2&id=";
} // namespace DialogText
