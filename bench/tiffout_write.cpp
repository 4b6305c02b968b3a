// tavmor-tiffout: converts an image to TIFF through the engine's reader (TTavmor) and the
// parallel strip writer, so that bench/tiffout_bench.sh can time the TIFF output options
// before the command line offers them.
// Usage: tavmor-tiffout INPUT OUTPUT [--compression none|lzw|deflate|zstd] [--predictor]
//                       [--level N] [--strip-rows N] [--threads N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "engine/TavmorManager.h"
#include "engine/TiffSizeBound.h"
#include "engine/TiffStripWriter.h"

namespace {

int Fail(const char* text)
{
    std::fprintf(stderr, "tavmor-tiffout: %s\n", text);
    return 1;
}

bool ParseCompression(const std::string& name, TTiffCompression& compression)
{
    struct Entry {
        const char* Name;
        TTiffCompression Value;
    };
    const Entry entries[] = { { "none", TTiffCompression::None }, { "lzw", TTiffCompression::Lzw },
        { "deflate", TTiffCompression::Deflate }, { "zstd", TTiffCompression::Zstd } };
    for (const Entry& e : entries) {
        if (name == e.Name) {
            compression = e.Value;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        return Fail("usage: tavmor-tiffout INPUT OUTPUT [--compression none|lzw|deflate|zstd] "
                    "[--predictor] [--level N] [--strip-rows N] [--threads N]");
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    TTiffWriteOptions options;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--predictor") {
            options.Predictor = true;
        } else if (a == "--compression" && hasValue) {
            if (!ParseCompression(argv[++i], options.Compression)) {
                return Fail("--compression must be none, lzw, deflate or zstd");
            }
        } else if (a == "--level" && hasValue) {
            options.Level = std::atoi(argv[++i]);
        } else if (a == "--strip-rows" && hasValue) {
            options.RowsPerStrip = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--threads" && hasValue) {
            options.Threads = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            return Fail(("unknown option " + a).c_str());
        }
    }

    TTavmor engine;
    engine.InInfo.FileName = input;
    engine.CheckFile(false);
    if (!engine.InInfo.ImageIsOk || !engine.OpenInFile(input)) {
        return Fail("cannot read the input");
    }
    const TFileInfo& in = engine.InInfo;
    const TTiffOutputImage image { in.Width, in.Height, in.Bits, in.Channels };
    TTiffOutputSize size { in.Width, in.Height, in.BytesPerPixel, options.Compression,
        options.RowsPerStrip, 0 };
    const bool bigTiff = NeedsBigTiffOutput(size, false);

    const int fd = ::open(output.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return Fail("cannot create the output");
    }
    TTiffStripWriter writer;
    bool ok = writer.Open(fd, output, image, options, bigTiff);
    for (uint32_t y = 0; ok && y < in.Height; ++y) {
        ok = engine.ReadLine(static_cast<int32_t>(y)) == static_cast<int32_t>(in.ScanLineSize)
            && writer.WriteLine(in.ScanLine);
    }
    ok = writer.Close() && ok;
    engine.CloseInFile();
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(output.c_str());
        return Fail("the write failed");
    }
    std::fprintf(stderr, "%s: %s, %u x %u, %u-bit\n", output.c_str(),
        bigTiff ? "BigTIFF" : "classic TIFF", in.Width, in.Height, unsigned(in.Bits));
    return 0;
}
