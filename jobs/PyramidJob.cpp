// The Pyramid job: one pass over the input's lines through 8-bit conversion, the halving levels
// and the tiler, into a staged output that is renamed into place when complete.
#include "jobs/PyramidJob.h"

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <thread>

#include "engine/EngineTexts.h"
#include "engine/PyramidTiff.h"
#include "engine/ScopeExit.h"
#include "engine/TavmorUtils.h"
#include "engine/TiffFormat.h"
#include "jobs/FolderCommit.h"
#include "jobs/ImageRowSource.h"
#include "jobs/JobTexts.h"
#include "jobs/PyramidFeed.h"
#include "jobs/PyramidSinks.h"
#include "jobs/PyramidTexts.h"
#include "jobs/PyramidTiler.h"
#include "jobs/TavmorJobs.h"
#include "resample/EightBitRows.h"

namespace {

// Progress is reported every this many input lines (each batch of the tiler), and at least this
// often when nothing is collected.
constexpr uint32_t kProgressEvery = 7;
constexpr std::chrono::milliseconds kProgressWait { 100 };

/// The codec of the tiles: by the suffix, Deflate standing in for PNG inside a TIFF.
bool CodecOf(const TPyramidOptions& options, TTileCodecOptions& codec, std::string& extension)
{
    extension = options.Suffix.substr(options.Suffix.starts_with(".") ? 1 : 0);
    codec.Quality = options.Quality;
    // Tiles inside a TIFF: no JFIF marker (its tags describe the colour space) and the tables
    // once in its JPEGTables tag, as TIFF readers expect them, instead of in every tile.
    codec.JfifMarker = options.Layout != TPyramidLayoutKind::Tiff;
    codec.SharedTables = options.Layout == TPyramidLayoutKind::Tiff;
    if (extension == "jpg") {
        codec.Codec = TTileCodec::Jpeg;
    } else if (extension == "png") {
        codec.Codec =
            options.Layout == TPyramidLayoutKind::Tiff ? TTileCodec::Deflate : TTileCodec::Png;
    } else if (extension == "webp" && options.Layout != TPyramidLayoutKind::Tiff) {
        codec.Codec = TTileCodec::Webp;
    } else {
        return false;
    }
    return true;
}

/// True when path lies inside folder (or is it), by their real locations.
bool Inside(const std::string& path, const std::string& folder)
{
    std::error_code ec;
    const auto real = std::filesystem::weakly_canonical(path, ec);
    const auto root = std::filesystem::weakly_canonical(folder, ec);
    if (ec) {
        return false;
    }
    auto p = real.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty()) {
            continue; // a trailing separator
        }
        if (p == real.end() || *p != *r) {
            return false;
        }
    }
    return true;
}

bool Exists(const std::string& path)
{
    struct stat st { };
    return lstat(path.c_str(), &st) == 0;
}

/// The 8-bit pixel bytes of every level of a pyramid: the full size and a third more.
uint64_t PyramidBytes(uint32_t width, uint32_t height, uint8_t channels)
{
    const uint64_t full = uint64_t(width) * height * channels;
    return full + full / 3 + 1;
}

} // namespace

uint32_t DefaultTileSize(TPyramidLayoutKind layout)
{
    return layout == TPyramidLayoutKind::Dzi ? 254 : 256;
}

namespace {

TOutcome MakePyramid(TJobs& jobs, const TPyramidOptions& options, std::string& written);

} // namespace

TJobResult RunPyramid(TJobs& jobs, const TPyramidOptions& options)
{
    TJobResult result;
    std::string written;
    result.Outcome = MakePyramid(jobs, options, written);
    if (result.Outcome == TOutcome::Done) {
        result.Outputs.push_back(written);
    } else {
        jobs.Engine.Abort = true;
    }
    return result;
}

namespace {

TOutcome MakePyramid(TJobs& jobs, const TPyramidOptions& options, std::string& written)
{
    TTavmor& engine = jobs.Engine;
    const TFileInfo& in = engine.InInfo;
    if (!in.ImageIsOk || !FileExists(in.FileName)) {
        jobs.ShowError(EngineText::FileNotFound);
        return TOutcome::Failed;
    }

    TTileCodecOptions codec;
    TPyramidLayoutSpec setup;
    setup.Kind = options.Layout;
    setup.Width = in.Width;
    setup.Height = in.Height;
    setup.TileSize = options.TileSize != 0 ? options.TileSize : DefaultTileSize(options.Layout);
    setup.Overlap = options.Layout == TPyramidLayoutKind::Dzi ? options.Overlap : 0;
    setup.Name = options.Name.empty() ? BaseNameOf(in.FileName) : options.Name;
    setup.IiifId = options.IiifId;
    if (!CodecOf(options, codec, setup.Extension)) {
        jobs.ShowError(PyramidText::TiffSuffix);
        return TOutcome::Failed;
    }
    if (options.Layout == TPyramidLayoutKind::Tiff && setup.TileSize % 16 != 0) {
        jobs.ShowError(PyramidText::TiffTileSize);
        return TOutcome::Failed;
    }
    if (setup.Overlap >= setup.TileSize) {
        jobs.ShowError(PyramidText::OverlapTooLarge);
        return TOutcome::Failed;
    }
    if (setup.Name.empty() || setup.Name.find('/') != std::string::npos || setup.Name == "."
        || setup.Name == "..") {
        jobs.ShowError(PyramidText::BadName);
        return TOutcome::Failed;
    }

    TEightBitRowSpec rows;
    rows.Bits = in.Bits;
    rows.Channels = in.Channels;
    rows.Flatten = codec.Codec == TTileCodec::Jpeg;
    rows.Background = options.Background;
    const uint8_t channels = EightBitChannels(rows);
    setup.BigTiff = options.Layout == TPyramidLayoutKind::Tiff
        && NeedsBigTiff(PyramidBytes(in.Width, in.Height, channels), false);
    const TPyramidLayout layout(setup);

    // An existing output is replaced only when the user agrees, and never when the input is it
    // or lies inside it.
    const std::string folder = jobs.OutputFolderFor(in.FileName, options.Folder);
    bool exists = false;
    for (const std::string& entry : layout.Entries()) {
        const std::string path = folder + entry;
        if (Exists(path) && (SameFile(in.FileName, path) || Inside(in.FileName, path))) {
            engine.UserDialogs().ShowErrorDialog(EngineText::CannotOverwriteInput);
            return TOutcome::Failed;
        }
        exists = exists || Exists(path);
    }
    if (exists) {
        engine.UserDialogs().NoteDetail(folder + layout.Entries().front(), "");
        if (!engine.UserDialogs().AskYesNo(EngineText::OutputExists)) {
            return TOutcome::Failed;
        }
    }
    const bool replace = exists || engine.UserDialogs().ReplaceAgreed();

    TFolderCommit output;
    if (!output.Begin(folder)) {
        jobs.ShowError(PyramidText::CannotCreateOutput + folder);
        return TOutcome::Failed;
    }
    const std::string& staging = output.Staging();
    for (const std::string& sub : layout.Folders()) {
        if (mkdir((staging + sub).c_str(), 0777) != 0) {
            jobs.ShowError(EngineText::CantCreateFile + staging + sub);
            return TOutcome::Failed;
        }
    }

    TPyramidTiffWriter tiff;
    TTiffPagesSink tiffSink(tiff);
    TTileFileSink fileSink(layout, staging);
    TTileSink* sink = &fileSink;
    if (options.Layout == TPyramidLayoutKind::Tiff) {
        TPyramidTiffSpec pages;
        for (const TPyramidLevel& level : layout.Levels()) {
            pages.Pages.push_back({ level.Width, level.Height });
        }
        pages.TileSize = setup.TileSize;
        pages.Channels = channels;
        pages.Codec = codec.Codec;
        pages.BigTiff = setup.BigTiff;
        if (codec.Codec == TTileCodec::Jpeg && !JpegTables(codec.Quality, pages.JpegTables)) {
            jobs.ShowError(PyramidText::TileEncodingError);
            return TOutcome::Failed;
        }
        const std::string path = staging + layout.Entries().front();
        if (!tiff.Open(path, pages)) {
            jobs.ShowError(EngineText::CantCreateFile + path);
            return TOutcome::Failed;
        }
        sink = &tiffSink;
    }

    TImageRowSource source(in);
    if (!source.Open()) {
        engine.UserDialogs().NoteDetail(
            in.FileName, source.Error() != 0 ? ErrorText(source.Error()) : "");
        jobs.ShowError(EngineText::ErrorOpeningInput);
        return TOutcome::Failed;
    }

    const unsigned workers =
        options.Workers != 0 ? options.Workers : std::max(1u, std::thread::hardware_concurrency());
    const uint32_t reductions = static_cast<uint32_t>(layout.Levels().size()) - 1;
    TPyramidTiler tiler(layout.Levels(), channels, codec, *sink, workers,
        options.Depth != 0 ? options.Depth : TPyramidTiler::kDepth);
    // Reading, conversion and levels run on the feed's thread; this one hands the tiles of a
    // TIFF over in order, reports progress and listens for pause and abort.
    TPyramidFeed feed(source, rows, reductions, tiler, engine.Abort);

    jobs.ShowProgress(static_cast<int32_t>(in.Height), "");
    TScopeExit hideProgress([&jobs] { jobs.HideProgress(); });
    feed.Start();
    uint32_t shown = 0;
    for (;;) {
        const TPyramidTiler::TCollected collected = tiler.Collect(kProgressWait);
        if (engine.Abort) {
            return TOutcome::Aborted;
        }
        if (collected == TPyramidTiler::TCollected::Finished) {
            break;
        }
        if (collected == TPyramidTiler::TCollected::Failed) {
            jobs.ShowError(tiler.Failure());
            return TOutcome::Failed;
        }
        if (collected == TPyramidTiler::TCollected::Stopped) {
            feed.Join();
            if (feed.End() == TPyramidFeed::TEnd::Aborted) {
                return TOutcome::Aborted;
            }
            engine.UserDialogs().NoteDetail(in.FileName, ErrorText(source.Error()));
            jobs.ShowError(EngineText::ReadFileError);
            return TOutcome::Failed;
        }
        // A slow input still lets the window answer: progress goes on when nothing moved.
        if (collected == TPyramidTiler::TCollected::Idle
            || tiler.RowsDone() >= shown + kProgressEvery) {
            shown = tiler.RowsDone();
            jobs.UpdateProgress(static_cast<int32_t>(shown));
        }
    }
    feed.Join();
    jobs.UpdateProgress(static_cast<int32_t>(in.Height));

    const auto [descriptor, text] = layout.Descriptor();
    const bool finished = options.Layout == TPyramidLayoutKind::Tiff
        ? tiff.Close()
        : WriteWholeFile(
            staging + descriptor, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!finished || !output.Commit(layout.Entries(), replace)) {
        jobs.ShowError(EngineText::WriteToFileError);
        return TOutcome::Failed;
    }
    // What a user opens: the descriptor of a Deep Zoom, the folder of IIIF tiles, the TIFF.
    written = folder
        + (options.Layout == TPyramidLayoutKind::Dzi ? descriptor : layout.Entries().front());
    return TOutcome::Done;
}

} // namespace
