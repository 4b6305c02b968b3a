// Input files of the command-line tests.
#include "cli/CliFiles.h"

#include <fstream>
#include <vector>

std::string WriteRawInput(const TestImages::TTempDir& dir, const std::string& base, uint32_t width,
    uint32_t height, uint8_t shade)
{
    const std::string path =
        dir.File(base + "_" + std::to_string(width) + "X" + std::to_string(height) + ".raw");
    std::ofstream out(path, std::ios::binary);
    std::vector<char> line(size_t { width } * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (size_t i = 0; i < line.size(); ++i) {
            line[i] = static_cast<char>(y * 7 + i % 251 + shade);
        }
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return path;
}
