// The settings file: the main window's position and whether the update check runs at
// start-up, kept as three key=value lines between runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// What the settings file holds, as the window applies and hands it back.
struct TSetupValues {
    int32_t WindowPosX = 0; ///< left edge of the main window's frame, screen pixels
    int32_t WindowPosY = 0; ///< top edge of the main window's frame, screen pixels
    bool CheckForUpdates = false; ///< state of cbCheckForUpdates
};

/// The values used when there is no settings file yet (the first run).
inline constexpr TSetupValues kFirstRunSetup { 400, 100, true };

/// The settings object `Setup`. Plain C++, no Qt, so the window only copies values.
///
/// How the window uses it:
///
///     // FormCreate
///     Setup.Create(TSetup::SettingsPathFor(QCoreApplication::applicationFilePath()
///                                              .toStdString()));
///     TSetupValues v;
///     if (!Setup.Load(v)) { /* unreadable file: v holds the first-run values */ }
///     move(v.WindowPosX, v.WindowPosY);
///     cbCheckForUpdates->setChecked(v.CheckForUpdates);
///     if (v.CheckForUpdates) UpdateCheck->Start();
///     // FormClose
///     if (!Setup.Save({ x(), y(), cbCheckForUpdates->isChecked() })) { /* not kept */ }
///     Setup.Destroy();
///
/// Neither a failed Load nor a failed Save may stop start-up or closing. Window thread only.
class TSetup {
public:
    /// Empties Lines and remembers the file's full path.
    void Create(const std::string& FileName);

    /// Reads the file into Lines and fills values from it. A missing file gives
    /// kFirstRunSetup. An existing file starts from (0, 0, no update check); each line
    /// beginning (after upper-casing a to z) with WINDOWPOSX, WINDOWPOSY or CHECKFORUPDATES
    /// sets that value, the last such line winning; other lines are ignored. CR, LF and CR LF
    /// line ends and a leading UTF-8 or UTF-16 byte-order mark are accepted.
    /// Returns false when the file exists but cannot be read; values are then kFirstRunSetup.
    [[nodiscard]] bool Load(TSetupValues& values);

    /// Replaces the whole file with the three lines "WindowPosX=", "WindowPosY=" and
    /// "CheckForUpdates=" (True or False), each ended by CR LF, ASCII. An existing file is
    /// written to a temporary file beside it and renamed over it (its permissions kept), so a
    /// failed write leaves it as it was; a missing folder is created. Returns false when the
    /// file could not be written.
    [[nodiscard]] bool Save(const TSetupValues& values);

    /// Empties Lines.
    void Destroy();

    /// The text after the first "=" as a signed 32-bit decimal (blanks around it allowed);
    /// 0 when there is no "=" or the text is not such a number.
    static int32_t ValueAsInt(const std::string& line);
    /// True when the text after the first "=", with blanks and control characters trimmed
    /// from both ends and upper-cased, is exactly "TRUE".
    static bool ValueAsBool(const std::string& line);

    /// The executable's path with its extension replaced by ".ini" (added when it has none).
    static std::string IniPathBeside(const std::string& executablePath);
    /// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config, with a trailing
    /// separator; "" when neither is known.
    static std::string UserConfigFolder();
    /// Where the settings live: beside the executable when that folder accepts a new file
    /// (a portable install), else the same file name in UserConfigFolder() (a system-wide
    /// install, where the executable's folder is read-only).
    static std::string SettingsPathFor(const std::string& executablePath);

    std::vector<std::string> Lines; ///< the lines read by Load; the lines written by Save
    std::string FileName; ///< full path of the settings file
};
