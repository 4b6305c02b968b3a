// Tests of the settings file: reading its lines into values, writing the three settings, and
// choosing where the file lives.
#include "app/Setup.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string PathIn(const QTemporaryDir& dir, const char* name)
{
    return dir.filePath(QString::fromLatin1(name)).toStdString();
}

/// Sets or clears an environment variable for the life of the object.
class TEnvOverride {
public:
    TEnvOverride(const char* name, const char* value)
        : Name(name)
    {
        if (const char* old = std::getenv(name)) {
            Old = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~TEnvOverride()
    {
        if (Old) {
            setenv(Name, Old->c_str(), 1);
        } else {
            unsetenv(Name);
        }
    }
    TEnvOverride(const TEnvOverride&) = delete;
    TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
    const char* Name;
    std::optional<std::string> Old;
};

/// The ASCII text in UTF-16 with its byte-order mark.
std::string Utf16(const std::string& text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text) {
        bytes += bigEndian ? '\0' : c;
        bytes += bigEndian ? c : '\0';
    }
    return bytes;
}

struct LoadCase {
    const char* name;
    std::optional<std::string> file; ///< nothing: no file at all
    TSetupValues expected;
};

TEST(Setup, Load)
{
    const LoadCase cases[] = {
        { "no file", std::nullopt, { 400, 100, true } },
        { "empty file", "", { 0, 0, false } },
        { "only CheckForUpdates=False", "CheckForUpdates=False\r\n", { 0, 0, false } },
        { "the three lines", "WindowPosX=12\r\nWindowPosY=34\r\nCheckForUpdates=True\r\n",
            { 12, 34, true } },
        { "lower-case key", "windowposx=250", { 250, 0, false } },
        { "blank before the key", " windowposx=250", { 0, 0, false } },
        { "not a number", "WindowPosX=abc\nWindowPosY=12abc", { 0, 0, false } },
        { "blanks around the number", "WindowPosX= 250 \nWindowPosY=\t-7", { 250, -7, false } },
        { "too large for 32 bits", "WindowPosX=2147483648\nWindowPosY=-2147483648",
            { 0, INT32_MIN, false } },
        { "negative positions", "WindowPosX=-1920\r\nWindowPosY=-5\r\n", { -1920, -5, false } },
        { "value 1", "CheckForUpdates=1", { 0, 0, false } },
        { "value yes", "CheckForUpdates=yes", { 0, 0, false } },
        { "value true with blanks", "CheckForUpdates= true \t", { 0, 0, true } },
        { "value TrUe", "checkforupdates=TrUe", { 0, 0, true } },
        { "value truer", "CheckForUpdates=truer", { 0, 0, false } },
        { "no equals sign", "WindowPosX\nCheckForUpdates", { 0, 0, false } },
        { "second equals sign", "WindowPosX=5=6", { 0, 0, false } },
        { "longer key counts", "WINDOWPOSXY=5", { 5, 0, false } },
        { "last line wins", "WindowPosX=1\nWindowPosX=2\nCheckForUpdates=True\nCheckForUpdates=x",
            { 2, 0, false } },
        { "sections and comments",
            "[Main]\r\n; WindowPosX=99\r\n# note\r\nColour=blue\r\nWindowPosX=10\r\n\r\n",
            { 10, 0, false } },
        { "CR line ends", "WindowPosX=1\rWindowPosY=2\rCheckForUpdates=True", { 1, 2, true } },
        { "LF line ends", "WindowPosX=1\nWindowPosY=2\nCheckForUpdates=True\n", { 1, 2, true } },
        { "mixed line ends", "WindowPosX=1\r\nWindowPosY=2\rCheckForUpdates=True\n",
            { 1, 2, true } },
        { "UTF-8 byte-order mark", "\xEF\xBB\xBFWindowPosX=7\r\nCheckForUpdates=True",
            { 7, 0, true } },
        { "UTF-16 LE byte-order mark", Utf16("WindowPosX=9\r\nCheckForUpdates=True", false),
            { 9, 0, true } },
        { "UTF-16 BE byte-order mark", Utf16("WindowPosY=4", true), { 0, 4, false } },
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string path = PathIn(dir, "tavmor-tools.ini");
        if (c.file) {
            WriteAll(path, *c.file);
        }
        TSetup setup;
        setup.Create(path);
        TSetupValues values { 77, 77, false };
        EXPECT_TRUE(setup.Load(values));
        EXPECT_EQ(values.WindowPosX, c.expected.WindowPosX);
        EXPECT_EQ(values.WindowPosY, c.expected.WindowPosY);
        EXPECT_EQ(values.CheckForUpdates, c.expected.CheckForUpdates);
        setup.Destroy();
        EXPECT_TRUE(setup.Lines.empty());
    }
}

TEST(Setup, SaveWritesExactlyThreeLinesAndNothingElse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = PathIn(dir, "tavmor-tools.ini");
    WriteAll(path, "[Main]\r\n; comment\r\nColour=blue\r\nWindowPosX=10\r\n");
    TSetup setup;
    setup.Create(path);
    TSetupValues values;
    ASSERT_TRUE(setup.Load(values));
    EXPECT_EQ(setup.Lines.size(), 4u);

    ASSERT_TRUE(setup.Save({ -1280, 34, false }));
    EXPECT_EQ(ReadAll(path), "WindowPosX=-1280\r\nWindowPosY=34\r\nCheckForUpdates=False\r\n");
    ASSERT_TRUE(setup.Save({ 400, 100, true }));
    EXPECT_EQ(ReadAll(path), "WindowPosX=400\r\nWindowPosY=100\r\nCheckForUpdates=True\r\n");
    // The temporary file of the replacement is gone.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { "tavmor-tools.ini" });

    // The replacement keeps the file's permissions.
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(setup.Save({ 1, 2, false }));
    struct stat info { };
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    ASSERT_TRUE(setup.Save({ 400, 100, true }));

    TSetup again;
    again.Create(path);
    ASSERT_TRUE(again.Load(values));
    EXPECT_EQ(values.WindowPosX, 400);
    EXPECT_EQ(values.WindowPosY, 100);
    EXPECT_TRUE(values.CheckForUpdates);
}

TEST(Setup, SaveWritesThroughALink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string target = PathIn(dir, "kept-elsewhere.ini");
    const std::string link = PathIn(dir, "tavmor-tools.ini");
    WriteAll(target, "WindowPosX=1\r\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    TSetup setup;
    setup.Create(link);
    ASSERT_TRUE(setup.Save({ 5, 6, true }));
    struct stat info { };
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadAll(target), "WindowPosX=5\r\nWindowPosY=6\r\nCheckForUpdates=True\r\n");
}

TEST(Setup, ReadAndWriteErrorsAreReportedNotThrown)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder where the file should be: it cannot be read, nor replaced.
    const std::string folder = PathIn(dir, "tavmor-tools.ini");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    TSetup setup;
    setup.Create(folder);
    TSetupValues values;
    EXPECT_FALSE(setup.Load(values));
    EXPECT_EQ(values.WindowPosX, kFirstRunSetup.WindowPosX);
    EXPECT_EQ(values.WindowPosY, kFirstRunSetup.WindowPosY);
    EXPECT_TRUE(values.CheckForUpdates);
    EXPECT_FALSE(setup.Save(values));

    // A path below a plain file.
    const std::string file = PathIn(dir, "plain");
    WriteAll(file, "x");
    setup.Create(file + "/sub/tavmor-tools.ini");
    EXPECT_FALSE(setup.Save(values));
}

TEST(Setup, IniPathBeside)
{
    const struct {
        const char* exe;
        const char* ini;
    } cases[] = {
        { "/opt/tavmor/bin/tavmor-tools", "/opt/tavmor/bin/tavmor-tools.ini" },
        { "/opt/tavmor/TavmorTools.exe", "/opt/tavmor/TavmorTools.ini" },
        { "/opt/v2.1/tavmor-tools", "/opt/v2.1/tavmor-tools.ini" },
        { "/opt/t/.hidden", "/opt/t/.hidden.ini" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exe);
        EXPECT_EQ(TSetup::IniPathBeside(c.exe), c.ini);
    }
}

TEST(Setup, UserConfigFolder)
{
    TEnvOverride home("HOME", "/home/ann");
    {
        TEnvOverride xdg("XDG_CONFIG_HOME", "/cfg/ann");
        EXPECT_EQ(TSetup::UserConfigFolder(), "/cfg/ann/");
    }
    {
        TEnvOverride xdg("XDG_CONFIG_HOME", "relative/cfg");
        EXPECT_EQ(TSetup::UserConfigFolder(), "/home/ann/.config/");
    }
    {
        TEnvOverride xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(TSetup::UserConfigFolder(), "/home/ann/.config/");
    }
}

TEST(Setup, UnwritableExecutableFolderFallsBackToConfigFolder)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const std::string configFolder = PathIn(config, "nested/config");
    TEnvOverride xdg("XDG_CONFIG_HOME", configFolder.c_str());

    QTemporaryDir portable;
    ASSERT_TRUE(portable.isValid());
    const std::string portableExe = PathIn(portable, "tavmor-tools");
    EXPECT_EQ(TSetup::SettingsPathFor(portableExe), portableExe + ".ini");

    // /proc takes no new file even for root, which permission bits would not stop.
    EXPECT_EQ(TSetup::SettingsPathFor("/proc/tavmor-tools"), configFolder + "/tavmor-tools.ini");

    // The config folder does not exist yet: saving creates it.
    TSetup setup;
    setup.Create(TSetup::SettingsPathFor("/proc/tavmor-tools"));
    ASSERT_TRUE(setup.Save({ 1, 2, true }));
    TSetupValues values;
    ASSERT_TRUE(setup.Load(values));
    EXPECT_EQ(values.WindowPosX, 1);
    EXPECT_EQ(values.WindowPosY, 2);
}

TEST(Setup, ReadOnlyFolderFallsBackToConfigFolder)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may create files in a read-only folder";
    }
    QTemporaryDir config;
    QTemporaryDir installed;
    ASSERT_TRUE(config.isValid() && installed.isValid());
    TEnvOverride xdg("XDG_CONFIG_HOME", config.path().toStdString().c_str());
    ASSERT_EQ(chmod(installed.path().toStdString().c_str(), 0555), 0);
    const std::string exe = PathIn(installed, "tavmor-tools");
    EXPECT_EQ(TSetup::SettingsPathFor(exe), config.path().toStdString() + "/tavmor-tools.ini");
    ASSERT_EQ(chmod(installed.path().toStdString().c_str(), 0755), 0);
}

} // namespace
