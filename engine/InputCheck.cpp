// The input check: what stands at a path, and whether this user may read it.
#include "engine/InputCheck.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::string InputFileProblem(const std::string& path)
{
    struct stat st { };
    if (path.empty()) {
        return std::strerror(ENOENT);
    }
    if (::stat(path.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return kNotARegularFile;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return std::strerror(errno);
    }
    return {};
}
