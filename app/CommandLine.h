// The command line of the window program tavmor-tools: --help and --version, which print and
// end before any window or display is needed; the input file; and one plain line instead of
// Qt's abort when no window can be opened.
#pragma once

#include <string>
#include <vector>

/// Exit statuses of tavmor-tools besides the window's own 0.
inline constexpr int kExitNoWindow = 1; ///< no display or window system could be opened
inline constexpr int kExitUsage = 2; ///< an unknown option

/// What the arguments after the program's name ask for.
struct TWindowArguments {
    bool Help = false; ///< -h or --help
    bool Version = false; ///< -v or --version
    std::string File; ///< the input to open; empty for none
    std::vector<std::string> Ignored; ///< files after the first: one input at a time
    std::string UnknownOption; ///< the first argument that looks like an option we lack
};

/// Reads the arguments after the program's name. "--" ends the options; help and version are
/// found anywhere before it, so they also work next to Qt's own options, which QApplication
/// takes out of the arguments only later.
TWindowArguments ParseWindowArguments(const std::vector<std::string>& args);

/// The text of --help, ending in a line break.
std::string WindowHelpText();
/// The text of --version: "tavmor-tools 2.1.0", then the libtiff and Qt versions, one a line.
std::string WindowVersionText();

/// Why `path` cannot be read, in the system's words ("No such file or directory", "Is a
/// directory", "Permission denied"); empty when it can be opened for reading.
std::string CannotOpenReason(const std::string& path);

/// The one line said when no window can be opened, from the Qt platform asked for ("" for
/// the default) and the display variables (null when unset). Without the program's name.
std::string NoWindowLine(
    const std::string& platform, const char* display, const char* waylandDisplay);

/// The Qt platform asked for by "-platform NAME" among the arguments, else by
/// QT_QPA_PLATFORM; "" for Qt's default.
std::string RequestedPlatform(int argc, char** argv);

/// Holds Qt's messages while QApplication is being created. If the window system cannot be
/// started (Qt ends such a start with a fatal message), prints "tavmor-tools: " and
/// NoWindowLine on stderr and exits with kExitNoWindow instead of aborting. Release(), once
/// QApplication exists, restores the previous handler and passes the held messages to it.
/// One guard at a time, on the main thread.
class TWindowSystemGuard {
public:
    TWindowSystemGuard(int argc, char** argv);
    ~TWindowSystemGuard();
    TWindowSystemGuard(const TWindowSystemGuard&) = delete;
    TWindowSystemGuard& operator=(const TWindowSystemGuard&) = delete;
    void Release();

private:
    bool FHolding = false;
};
