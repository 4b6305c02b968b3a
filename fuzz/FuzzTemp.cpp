// The fuzzing scratch folder.
#include "fuzz/FuzzTemp.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace FuzzTemp {

namespace {

std::string MakeFolder()
{
    // /dev/shm keeps millions of small files off the disk; any temporary folder will do.
    std::error_code ec;
    std::string root = std::filesystem::is_directory("/dev/shm", ec)
        ? std::string("/dev/shm")
        : std::filesystem::temp_directory_path().string();
    std::string pattern = root + "/tavmor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern + "/";
}

struct TRemover {
    std::string Path;
    ~TRemover()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
};

} // namespace

const std::string& Folder()
{
    static const TRemover folder { MakeFolder() };
    return folder.Path;
}

std::string WriteFile(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = Folder() + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return out ? path : std::string();
}

void Empty(const std::string& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

} // namespace FuzzTemp
