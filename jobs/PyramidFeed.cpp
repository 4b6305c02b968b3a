// The pyramid's reading stage: rows read, converted and halved on the feed's thread.
#include "jobs/PyramidFeed.h"

#include <vector>

#include "resample/HalvingLevels.h"

TPyramidFeed::TPyramidFeed(TLineSource& source, const TEightBitRowSpec& rows, uint32_t reductions,
    TPyramidTiler& tiler, const std::atomic<bool>& abort)
    : FSource(source)
    , FRows(rows)
    , FReductions(reductions)
    , FTiler(tiler)
    , FAbort(abort)
{
}

TPyramidFeed::~TPyramidFeed()
{
    // A thread not joined yet may wait in the tiler for a slot nobody frees any more.
    if (FThread.joinable()) {
        FTiler.Stop();
    }
    Join();
}

void TPyramidFeed::Start()
{
    FThread = std::thread([this] { Run(); });
}

void TPyramidFeed::Join()
{
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TPyramidFeed::Finish(TEnd end, bool complete)
{
    // Set before the tiler hears of the end, so its owner finds the reason when it does.
    FEnd = end;
    FTiler.EndInput(complete);
}

void TPyramidFeed::Run()
{
    const uint32_t width = FSource.Width();
    const uint32_t height = FSource.Height();
    const uint8_t channels = EightBitChannels(FRows);
    // 8-bit rows that keep their channels need no conversion.
    const bool convert = FRows.Bits != 8 || channels != FRows.Channels;
    std::vector<uint8_t> eightBit(convert ? size_t(width) * channels : 0);
    THalvingLevels levels(width, height, channels, FReductions);
    const THalvingLevels::TRowSink toTiler =
        [this](uint32_t level, uint32_t y, const uint8_t* row) { FTiler.AddRow(level, y, row); };
    for (uint32_t y = 0; y < height; ++y) {
        if (FAbort.load(std::memory_order_relaxed)) {
            Finish(TEnd::Aborted, false);
            return;
        }
        const uint8_t* row = FSource.NextRow();
        if (!row) {
            Finish(TEnd::ReadFailed, false);
            return;
        }
        if (convert) {
            ToEightBitRow(FRows, row, width, eightBit.data());
            row = eightBit.data();
        }
        levels.AddRow(row, toTiler);
        if (!FTiler.Dispatch(TPyramidTiler::kBatchRows)) {
            Finish(TEnd::Stopped, false);
            return;
        }
    }
    // The last batch is passed on inside EndInput; a stop there shows in the tiler.
    FEnd = TEnd::Complete;
    FTiler.EndInput(true);
}
