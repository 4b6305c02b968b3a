// Arguments, --help and --version of tavmor-tools, the reason a named file cannot be read,
// and the guard that turns a failed window-system start into one plain line.
#include "app/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include <tiffio.h>

#include <QMessageLogContext>
#include <QString>
#include <QtGlobal>

#include "app/CheckVersionTh.h"
#include "app/MainTexts.h"

namespace {

bool IsOneOf(const std::string& arg, const char* shortName, const char* longName)
{
    return arg == shortName || arg == longName;
}

/// A message Qt gave while the window system was starting, kept to be passed on later.
struct THeldMessage {
    QtMsgType Type;
    std::string File;
    int Line;
    std::string Function;
    std::string Category;
    QString Text;
};

std::mutex gHeldLock;
std::vector<THeldMessage> gHeld;
QtMessageHandler gPrevious = nullptr;
std::string gNoWindowLine;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        // The only fatal end of QApplication's start: no platform plugin could start.
        // Qt's own words ("Reinstalling the application may fix this problem") mislead.
        std::fprintf(stderr, "%s: %s\n", WindowCliText::Program, gNoWindowLine.c_str());
        std::fflush(stderr);
        std::_Exit(kExitNoWindow);
    }
    const std::lock_guard<std::mutex> hold(gHeldLock);
    gHeld.push_back({ type, context.file ? context.file : "", context.line,
        context.function ? context.function : "", context.category ? context.category : "", text });
}

} // namespace

TWindowArguments ParseWindowArguments(const std::vector<std::string>& args)
{
    TWindowArguments parsed;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && IsOneOf(arg, "-h", "--help")) {
            parsed.Help = true;
        } else if (options && IsOneOf(arg, "-v", "--version")) {
            parsed.Version = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            if (parsed.UnknownOption.empty()) {
                parsed.UnknownOption = arg;
            }
        } else if (parsed.File.empty()) {
            parsed.File = arg;
        } else {
            parsed.Ignored.push_back(arg);
        }
    }
    return parsed;
}

std::string WindowHelpText()
{
    return WindowCliText::Help;
}

std::string WindowVersionText()
{
    const std::string libtiff = TIFFGetVersion();
    return std::string(WindowCliText::Program) + " " + kProgramVersion + "\n"
        + libtiff.substr(0, libtiff.find('\n')) + "\n" + "Qt " + qVersion() + "\n";
}

std::string CannotOpenReason(const std::string& path)
{
    struct stat st { };
    if (stat(path.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return std::strerror(EISDIR);
    }
    // O_NONBLOCK: a FIFO must not hold the window up; it is refused later as no image.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::strerror(errno);
    }
    close(fd);
    return "";
}

std::string NoWindowLine(
    const std::string& platform, const char* display, const char* waylandDisplay)
{
    const auto unset = [](const char* value) { return value == nullptr || *value == '\0'; };
    std::string line;
    if (platform.empty() || platform.rfind("xcb", 0) == 0) {
        line = unset(display) ? std::string(WindowCliText::NoDisplay)
                              : WindowCliText::CannotOpenDisplay + std::string(display);
    } else if (platform.rfind("wayland", 0) == 0) {
        line = unset(waylandDisplay)
            ? std::string(WindowCliText::NoWaylandDisplay)
            : WindowCliText::CannotOpenDisplay + std::string(waylandDisplay);
    } else {
        line = WindowCliText::CannotStartPlatform + ("\"" + platform + "\"");
    }
    return line + WindowCliText::WithoutWindow;
}

std::string RequestedPlatform(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            break;
        }
        if (arg == "-platform" || arg == "--platform") {
            return argv[i + 1];
        }
    }
    const char* fromEnvironment = std::getenv("QT_QPA_PLATFORM");
    return fromEnvironment != nullptr ? fromEnvironment : "";
}

TWindowSystemGuard::TWindowSystemGuard(int argc, char** argv)
{
    gNoWindowLine = NoWindowLine(
        RequestedPlatform(argc, argv), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
    gPrevious = qInstallMessageHandler(HoldStartupMessage);
    FHolding = true;
}

TWindowSystemGuard::~TWindowSystemGuard()
{
    Release();
}

void TWindowSystemGuard::Release()
{
    if (!FHolding) {
        return;
    }
    FHolding = false;
    qInstallMessageHandler(gPrevious);
    std::vector<THeldMessage> held;
    {
        const std::lock_guard<std::mutex> hold(gHeldLock);
        held.swap(gHeld);
    }
    for (const THeldMessage& m : held) {
        const QMessageLogContext context(
            m.File.c_str(), m.Line, m.Function.c_str(), m.Category.c_str());
        qt_message_output(m.Type, context, m.Text);
    }
}
