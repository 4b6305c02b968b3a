// The size arithmetic of the Resize job: tile size and grid of a pass, the near-target rule,
// the divider of a tiling pass and the decision of the final pass.
#include "jobs/ResizePlan.h"

#include <cmath>
#include <cstdlib>

namespace ResizePlan {

uint32_t TileSizeFor(uint32_t side)
{
    const uint32_t remainder = side % kTileSide;
    const uint32_t fullTiles = side / kTileSide;
    uint32_t tile = kTileSide;
    if (remainder != 0 && remainder < kThinRemainder && fullTiles != 0) {
        // The thin remainder is shared out, one pixel more than its even share so that the
        // full tiles cover it and no sliver is left for a last tile.
        tile = kTileSide + remainder / fullTiles + 1;
    }
    return side < tile ? side : tile;
}

uint32_t TileCountFor(uint32_t side, uint32_t tile)
{
    return side / tile + (side % tile != 0 ? 1 : 0);
}

uint32_t SteppingWidth(uint32_t targetWidth, bool fast)
{
    return fast ? targetWidth : 2 * targetWidth;
}

bool NearTarget(uint32_t width, uint32_t height, uint32_t targetWidth, uint32_t targetHeight)
{
    const int64_t w = width;
    const int64_t h = height;
    return int64_t { targetWidth } >= w - (2 * w) / 100
        || int64_t { targetHeight } >= h - (2 * h) / 100;
}

long double TilingDivider(uint32_t width, uint32_t targetWidth, uint32_t stepping)
{
    for (const uint32_t n : kEvenDividers) {
        if (width / n >= stepping) {
            return n;
        }
    }
    return static_cast<long double>(width) / static_cast<long double>(targetWidth);
}

int64_t ShrunkSide(uint32_t side, long double divider)
{
    return static_cast<int64_t>(std::nearbyint(static_cast<long double>(side) / divider));
}

TPass TileGrid(uint32_t width, uint32_t height)
{
    TPass pass;
    pass.TileWidth = TileSizeFor(width);
    pass.TileHeight = TileSizeFor(height);
    if (pass.TileWidth == 0 || pass.TileHeight == 0) {
        return pass; // an empty image has nothing to tile
    }
    pass.Columns = TileCountFor(width, pass.TileWidth);
    pass.Rows = TileCountFor(height, pass.TileHeight);
    return pass;
}

bool FitsOneWorker(uint32_t width, uint32_t height)
{
    return width <= kMaxWorkerSide && height <= kMaxWorkerSide;
}

TPass PlanPass(uint32_t width, uint32_t height, uint32_t targetWidth, uint32_t targetHeight)
{
    TPass pass = TileGrid(width, height);
    if (NearTarget(width, height, targetWidth, targetHeight)) {
        pass.Columns = 0;
        pass.Rows = 0;
    }
    return pass;
}

TSize MergedSize(uint32_t width, uint32_t height, const TPass& pass, long double divider)
{
    // All tiles but the last of a row or column have the full tile size.
    const auto side = [divider](uint32_t total, uint32_t tile, uint32_t count) {
        if (count == 0) {
            return ShrunkSide(total, divider);
        }
        const uint32_t last = total - (count - 1) * tile;
        return int64_t { count - 1 } * ShrunkSide(tile, divider) + ShrunkSide(last, divider);
    };
    return { side(width, pass.TileWidth, pass.Columns), side(height, pass.TileHeight, pass.Rows) };
}

TFinal PlanFinal(uint32_t tileWidth, uint32_t width, uint32_t height, uint32_t targetWidth)
{
    TFinal plan;
    if (tileWidth < targetWidth) {
        return plan;
    }
    const long double divider = static_cast<long double>(width) / targetWidth;
    if (divider < 1.0L) {
        return plan;
    }
    const bool widthChanges = std::llabs(ShrunkSide(width, divider) - width) > kFinalMinChange;
    const bool heightChanges = std::llabs(ShrunkSide(height, divider) - height) > kFinalMinChange;
    // Either side is enough: a thin image whose short side hardly changes still needs its
    // width brought to the target.
    if (widthChanges || heightChanges) {
        plan.Resample = true;
        plan.Divider = divider;
    }
    return plan;
}

TStep NextStep(uint32_t width, uint32_t height, uint32_t targetWidth, uint32_t targetHeight,
    uint32_t stepping, bool exactPassDone)
{
    TStep step;
    step.Pass = PlanPass(width, height, targetWidth, targetHeight);
    if (step.Pass.Tiling()) {
        step.Tiling = true;
        step.Divider = TilingDivider(width, targetWidth, stepping);
        return step;
    }
    const TFinal plan = PlanFinal(step.Pass.TileWidth, width, height, targetWidth);
    step.Divider = plan.Divider;
    if (plan.Resample && !exactPassDone && !FitsOneWorker(width, height)) {
        // A long side near its target would put the whole image into one worker: the exact
        // ratio is applied tile by tile instead, once; the step after it finds the image at
        // its size.
        step.Tiling = true;
        step.Exact = true;
        step.Pass = TileGrid(width, height);
        return step;
    }
    step.Resample = plan.Resample;
    return step;
}

} // namespace ResizePlan
