// The settings file: reading its key=value lines, writing the three settings, and choosing
// where the file lives.
#include "app/Setup.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr std::string_view kKeyPosX = "WINDOWPOSX";
constexpr std::string_view kKeyPosY = "WINDOWPOSY";
constexpr std::string_view kKeyCheck = "CHECKFORUPDATES";
constexpr const char* kLineEnd = "\r\n";
// The three settings take a few dozen bytes; a file far larger is not ours, and only its
// beginning is read so that start-up stays quick.
constexpr size_t kMaxFileBytes = 1 << 20;

std::string UpperAsciiLetters(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

/// The text after the first "=", or nothing when there is none.
bool ValueOf(const std::string& line, std::string_view& value)
{
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    value = std::string_view(line).substr(eq + 1);
    return true;
}

/// Drops blanks and control characters from both ends.
std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return text;
}

/// UTF-16 text (after its byte-order mark) as 8-bit text; characters beyond ASCII,
/// which no setting uses, become '?'.
std::string FromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        const unsigned unit = (hi << 8) | lo;
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return text;
}

/// The file's bytes as lines, with any byte-order mark removed and CR, LF or CR LF ends.
std::vector<std::string> SplitLines(std::string bytes)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
    } else if (StartsWith(bytes, "\xFF\xFE")) {
        bytes = FromUtf16(std::string_view(bytes).substr(2), false);
    } else if (StartsWith(bytes, "\xFE\xFF")) {
        bytes = FromUtf16(std::string_view(bytes).substr(2), true);
    }
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

bool PathExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

/// Whether a new file can be created in the folder. Trying is the only reliable test:
/// permission bits say nothing about read-only mounts, and nothing at all for root.
bool FolderAcceptsNewFile(const std::string& folder)
{
    std::string probe = folder + ".tavmor-write-test-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) {
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

/// Creates the folder and its missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& folder)
{
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            const std::string part = folder.substr(0, pos);
            if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    return true;
}

/// Reads the file's first kMaxFileBytes bytes; false when it cannot be opened or read
/// (a folder of that name, no permission).
bool ReadHead(const std::string& path, std::string& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bytes.clear();
    char block[4096];
    bool ok = true;
    while (bytes.size() < kMaxFileBytes) {
        const ssize_t got = read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        bytes.append(block, static_cast<size_t>(got));
    }
    close(fd);
    return ok;
}

bool WriteWhole(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return !out.fail();
}

} // namespace

void TSetup::Create(const std::string& FileName)
{
    Lines.clear();
    this->FileName = FileName;
}

bool TSetup::Load(TSetupValues& values)
{
    Lines.clear();
    if (!PathExists(FileName)) {
        values = kFirstRunSetup;
        return true;
    }
    std::string bytes;
    if (!ReadHead(FileName, bytes)) {
        values = kFirstRunSetup;
        return false;
    }
    Lines = SplitLines(std::move(bytes));
    values = TSetupValues {};
    for (const std::string& line : Lines) {
        const std::string upper = UpperAsciiLetters(line);
        if (StartsWith(upper, kKeyPosX)) {
            values.WindowPosX = ValueAsInt(line);
        }
        if (StartsWith(upper, kKeyPosY)) {
            values.WindowPosY = ValueAsInt(line);
        }
        if (StartsWith(upper, kKeyCheck)) {
            values.CheckForUpdates = ValueAsBool(line);
        }
    }
    return true;
}

bool TSetup::Save(const TSetupValues& values)
{
    Lines.clear();
    Lines.push_back("WindowPosX=" + std::to_string(values.WindowPosX));
    Lines.push_back("WindowPosY=" + std::to_string(values.WindowPosY));
    Lines.push_back(std::string("CheckForUpdates=") + (values.CheckForUpdates ? "True" : "False"));
    std::string text;
    for (const std::string& line : Lines) {
        text += line;
        text += kLineEnd;
    }
    const std::string folder = FolderOf(FileName);
    if (!PathExists(folder) && !MakeFolders(folder)) {
        return false;
    }
    // An existing plain file is replaced through a temporary file and a rename, so an
    // interrupted write never leaves it truncated. A new file has nothing to lose, and a link
    // is written through so that it keeps pointing where it points.
    struct stat old { };
    if (lstat(FileName.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        std::string temp = FileName + ".XXXXXX";
        const int fd = mkstemp(temp.data());
        if (fd >= 0) {
            const bool modeKept = fchmod(fd, old.st_mode & 07777) == 0;
            close(fd);
            if (modeKept && WriteWhole(temp, text)
                && std::rename(temp.c_str(), FileName.c_str()) == 0) {
                return true;
            }
            unlink(temp.c_str());
        }
        // A folder that takes no new file may still hold a writable settings file.
    }
    return WriteWhole(FileName, text);
}

void TSetup::Destroy()
{
    Lines.clear();
}

int32_t TSetup::ValueAsInt(const std::string& line)
{
    std::string_view value;
    if (!ValueOf(line, value)) {
        return 0;
    }
    // Blanks around the number are allowed, so a hand-edited "WindowPosX = 250" works.
    value = Trimmed(value);
    if (!value.empty() && value.front() == '+') {
        value.remove_prefix(1);
        if (!value.empty() && value.front() == '-') {
            return 0;
        }
    }
    int32_t result = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
        return 0;
    }
    return result;
}

bool TSetup::ValueAsBool(const std::string& line)
{
    std::string_view value;
    if (!ValueOf(line, value)) {
        return false;
    }
    return UpperAsciiLetters(std::string(Trimmed(value))) == "TRUE";
}

std::string TSetup::IniPathBeside(const std::string& executablePath)
{
    const auto slash = executablePath.rfind('/');
    const auto dot = executablePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".ini";
}

std::string TSetup::UserConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as if unset.
    if (xdg != nullptr && xdg[0] == '/') {
        std::string folder = xdg;
        return folder.back() == '/' ? folder : folder + '/';
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        std::string folder = home;
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder + ".config/";
    }
    return std::string();
}

std::string TSetup::SettingsPathFor(const std::string& executablePath)
{
    const std::string beside = IniPathBeside(executablePath);
    const std::string config = UserConfigFolder();
    if (config.empty() || FolderAcceptsNewFile(FolderOf(beside))) {
        return beside;
    }
    return config + beside.substr(beside.rfind('/') + 1);
}
