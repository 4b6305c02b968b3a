// The command line of tavmor-tools: its arguments, --help and --version without a display,
// one plain line when no window can be opened, and why a named file cannot be read.
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <tiffio.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "support/TestImages.h"

using TestImages::TTempDir;

namespace {

struct TRun {
    int ExitCode = -1;
    bool Crashed = false;
    std::string Out;
    std::string Err;
};

/// Runs tavmor-tools with the arguments in an environment without any display, Qt platform
/// or theme of the caller's, plus `extra` ("NAME=VALUE").
TRun RunTools(const QStringList& args, const QStringList& extra = {})
{
    TRun run;
#ifdef TAVMOR_TOOLS_BIN
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
             "QT_QPA_PLATFORMTHEME", "XDG_SESSION_TYPE" }) {
        env.remove(QString::fromLatin1(name));
    }
    for (const QString& assignment : extra) {
        env.insert(
            assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(TAVMOR_TOOLS_BIN), args);
    EXPECT_TRUE(child.waitForFinished(30000));
    run.Crashed = child.exitStatus() != QProcess::NormalExit;
    run.ExitCode = child.exitCode();
    run.Out = child.readAllStandardOutput().toStdString();
    run.Err = child.readAllStandardError().toStdString();
#else
    static_cast<void>(args);
    static_cast<void>(extra);
#endif
    return run;
}

} // namespace

TEST(WindowCommandLine, ArgumentsAreReadAsOptionsUntilDoubleDash)
{
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        bool Help;
        bool Version;
        std::string File;
        std::vector<std::string> Ignored;
        std::string Unknown;
    };
    const Case cases[] = {
        { "nothing", {}, false, false, "", {}, "" },
        { "a file", { "pano.tif" }, false, false, "pano.tif", {}, "" },
        { "--help", { "--help" }, true, false, "", {}, "" },
        { "-h after a file", { "pano.tif", "-h" }, true, false, "pano.tif", {}, "" },
        { "--version", { "--version" }, false, true, "", {}, "" },
        { "-v", { "-v" }, false, true, "", {}, "" },
        { "help among Qt's options", { "-platform", "offscreen", "--help" }, true, false,
            "offscreen", {}, "-platform" },
        { "unknown option", { "--bogus", "a.tif" }, false, false, "a.tif", {}, "--bogus" },
        { "a file named --help", { "--", "--help" }, false, false, "--help", {}, "" },
        { "a lone dash is a name", { "-" }, false, false, "-", {}, "" },
        { "two files", { "a.tif", "b.tif", "c.tif" }, false, false, "a.tif", { "b.tif", "c.tif" },
            "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TWindowArguments a = ParseWindowArguments(c.Args);
        EXPECT_EQ(a.Help, c.Help);
        EXPECT_EQ(a.Version, c.Version);
        EXPECT_EQ(a.File, c.File);
        EXPECT_EQ(a.Ignored, c.Ignored);
        EXPECT_EQ(a.UnknownOption, c.Unknown);
    }
}

TEST(WindowCommandLine, NoWindowLineSaysWhatIsMissing)
{
    const std::string tail = "; the tavmor command works without one";
    struct Case {
        const char* Name;
        std::string Platform;
        const char* Display;
        const char* Wayland;
        std::string Line;
    };
    const Case cases[] = {
        { "default, no DISPLAY", "", nullptr, nullptr,
            "no display to open the window on (DISPLAY is not set)" + tail },
        { "default, empty DISPLAY", "", "", nullptr,
            "no display to open the window on (DISPLAY is not set)" + tail },
        { "xcb, unreachable display", "xcb", ":987", nullptr,
            "cannot open the window on display :987" + tail },
        { "wayland without its display", "wayland", ":0", nullptr,
            "no display to open the window on (WAYLAND_DISPLAY is not set)" + tail },
        { "unknown platform", "bogus", ":0", nullptr,
            "cannot open the window with the Qt platform \"bogus\"" + tail },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(NoWindowLine(c.Platform, c.Display, c.Wayland), c.Line);
    }
}

TEST(WindowCommandLine, CannotOpenReasonIsTheSystemsOwn)
{
    TTempDir dir;
    const std::string readable = dir.File("ok.tif");
    ASSERT_TRUE(TestImages::WriteBytes(readable, { 1 }));
    const std::string locked = dir.File("locked.tif");
    ASSERT_TRUE(TestImages::WriteBytes(locked, { 1 }));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    struct Case {
        const char* Name;
        std::string Path;
        std::string Reason;
    };
    const Case cases[] = {
        { "readable", readable, "" },
        { "missing", dir.File("gone.tif"), std::strerror(ENOENT) },
        { "missing folder", dir.File("no/such.tif"), std::strerror(ENOENT) },
        { "a folder", dir.Path(), std::strerror(EISDIR) },
        // The superuser reads any file; the case says something only for others.
        { "no permission", locked, geteuid() == 0 ? "" : std::strerror(EACCES) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CannotOpenReason(c.Path), c.Reason);
    }
}

TEST(WindowCommandLine, HelpAndVersionNeedNoDisplay)
{
#ifndef TAVMOR_TOOLS_BIN
    GTEST_SKIP() << "the window program is not built";
#endif
    const std::string libtiff = TIFFGetVersion();
    const std::string version = "tavmor-tools 2.1.0\n" + libtiff.substr(0, libtiff.find('\n'))
        + "\nQt " + qVersion() + "\n";
    struct Case {
        const char* Name;
        QStringList Args;
        std::string OutStart;
    };
    const Case cases[] = {
        { "--help", { "--help" }, "Usage: tavmor-tools [OPTION]... [FILE]\n" },
        { "-h", { "-h" }, "Usage: tavmor-tools [OPTION]... [FILE]\n" },
        { "--help among Qt's options", { "-style", "fusion", "--help" }, "Usage: tavmor-tools" },
        { "--version", { "--version" }, version },
        { "-v", { "-v" }, version },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRun run = RunTools(c.Args);
        EXPECT_FALSE(run.Crashed);
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Out.substr(0, c.OutStart.size()), c.OutStart);
        EXPECT_EQ(run.Err, "");
    }
    const TRun help = RunTools({ "--help" });
    EXPECT_NE(help.Out.find("--version"), std::string::npos);
    EXPECT_NE(help.Out.find("Ctrl+O"), std::string::npos);
}

TEST(WindowCommandLine, WithoutADisplayItSaysSoInOneLine)
{
#ifndef TAVMOR_TOOLS_BIN
    GTEST_SKIP() << "the window program is not built";
#endif
    const std::string tail = "; the tavmor command works without one\n";
    struct Case {
        const char* Name;
        QStringList Args;
        QStringList Environment;
        int Exit;
        std::string Err;
    };
    const Case cases[] = {
        { "no DISPLAY", {}, {}, 1,
            "tavmor-tools: no display to open the window on (DISPLAY is not set)" + tail },
        { "no DISPLAY, with a file", { "pano.tif" }, {}, 1,
            "tavmor-tools: no display to open the window on (DISPLAY is not set)" + tail },
        { "a display nobody serves", {}, { "DISPLAY=:987" }, 1,
            "tavmor-tools: cannot open the window on display :987" + tail },
        { "a platform Qt lacks", {}, { "QT_QPA_PLATFORM=bogus" }, 1,
            "tavmor-tools: cannot open the window with the Qt platform \"bogus\"" + tail },
        // With a window system, an option it does not know ends it before any window.
        { "unknown option", { "--bogus" }, { "QT_QPA_PLATFORM=offscreen" }, 2,
            "tavmor-tools: unknown option '--bogus'\n"
            "Try 'tavmor-tools --help' for more information.\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRun run = RunTools(c.Args, c.Environment);
        EXPECT_FALSE(run.Crashed);
        EXPECT_EQ(run.ExitCode, c.Exit);
        EXPECT_EQ(run.Out, "");
        // Qt may note a missing runtime folder first; the rest is exactly our words.
        const std::string noise = "QStandardPaths: XDG_RUNTIME_DIR not set";
        std::string err = run.Err;
        if (err.rfind(noise, 0) == 0) {
            err.erase(0, err.find('\n') + 1);
        }
        EXPECT_EQ(err, c.Err);
        EXPECT_EQ(run.Err.find("Reinstalling"), std::string::npos);
    }
}
