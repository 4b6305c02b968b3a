// The size arithmetic of the Resize job: tile size and grid of a pass, the near-target rule,
// the divider of a tiling pass and the decision of the final pass, as plain functions.
#pragma once

#include <cstdint>

namespace ResizePlan {

/// Nominal tile side of a tiling pass, in pixels.
inline constexpr uint32_t kTileSide = 10000;
/// A remainder narrower than this is spread over the full tiles instead of forming a thin
/// last tile.
inline constexpr uint32_t kThinRemainder = 1000;
/// The final pass resamples only when a side would change by more than this many pixels.
inline constexpr int64_t kFinalMinChange = 100;
/// Largest side of an image that one worker takes whole: a full tile and a spread remainder.
inline constexpr uint32_t kMaxWorkerSide = kTileSide + kThinRemainder - 1;
/// Even dividers tried by a tiling pass, largest first.
inline constexpr uint32_t kEvenDividers[] = { 10, 8, 6, 4, 2 };

/// Tile side for an image side: 10000, or 10000 plus a share of a thin remainder, and never
/// more than the side itself (a side that fits into one tile is its own tile side).
uint32_t TileSizeFor(uint32_t side);

/// Number of tiles of `tile` pixels that cover `side` pixels (the last one may be smaller).
/// tile must be > 0.
uint32_t TileCountFor(uint32_t side, uint32_t tile);

/// The stepping width that steers the divider: the target width for the fast method, twice
/// it for the slow one.
uint32_t SteppingWidth(uint32_t targetWidth, bool fast);

/// True when the target is less than 2 % below the current size in width or in height, or
/// not below it at all: the job then stops tiling.
bool NearTarget(uint32_t width, uint32_t height, uint32_t targetWidth, uint32_t targetHeight);

/// Divider of a tiling pass for an image `width` pixels wide: the largest even factor up to
/// 10 that keeps at least `stepping` pixels (by integer division), else the exact ratio
/// width / targetWidth. targetWidth must be > 0.
long double TilingDivider(uint32_t width, uint32_t targetWidth, uint32_t stepping);

/// A side divided by the divider, rounded to the nearest integer with halves to even, as the
/// resize worker sizes its result. Round-to-nearest must be the rounding mode in force (it is
/// by default).
int64_t ShrunkSide(uint32_t side, long double divider);

/// What one pass of the job does with the current image.
struct TPass {
    uint32_t TileWidth = 0; ///< g: tile width (the image width when it fits into one tile)
    uint32_t TileHeight = 0; ///< h
    uint32_t Columns = 0; ///< r: 0 when the near-target rule applies
    uint32_t Rows = 0; ///< s: 0 when the near-target rule applies
    /// True for a tiling pass (split, shrink the tiles, merge), false for the final pass.
    bool Tiling() const { return Columns > 1 || Rows > 1; }
};

/// The tile grid of an image width x height, without the near-target rule.
TPass TileGrid(uint32_t width, uint32_t height);

/// The pass for the current image width x height and the target targetWidth x targetHeight:
/// the tile grid, emptied when the near-target rule applies.
TPass PlanPass(uint32_t width, uint32_t height, uint32_t targetWidth, uint32_t targetHeight);

/// True when one worker may hold the whole image: no side longer than kMaxWorkerSide. A
/// final pass over a larger image resamples it tile by tile instead.
bool FitsOneWorker(uint32_t width, uint32_t height);

/// Size of the image that the merge of a tiling pass writes: every tile shrunk on its own by
/// the divider and the shrunk tiles joined again.
struct TSize {
    int64_t Width = 0;
    int64_t Height = 0;
};
TSize MergedSize(uint32_t width, uint32_t height, const TPass& pass, long double divider);

/// What the final pass does.
struct TFinal {
    bool Resample = false; ///< run one worker over the whole image
    long double Divider = 1.0L; ///< the worker's divider when Resample is true
};

/// The final pass for the current image width x height: resample by the exact ratio width /
/// targetWidth when the pass's tile width reaches the target, the ratio is at least 1, and
/// either side would change by more than 100 pixels. targetWidth must be > 0.
TFinal PlanFinal(uint32_t tileWidth, uint32_t width, uint32_t height, uint32_t targetWidth);

/// What the job does next with the current image.
struct TStep {
    /// A tiling pass with Pass's grid and Divider follows; otherwise the final pass.
    bool Tiling = false;
    /// The tiling pass applies the exact ratio, because the image is near its target but
    /// larger than one worker takes (it happens once per run).
    bool Exact = false;
    TPass Pass; ///< the grid of a tiling pass; the near-target grid of the final pass
    long double Divider = 1.0L; ///< of the tiling pass, or of the final pass's worker
    bool Resample = false; ///< final pass: one worker resamples the whole image
};

/// The next step for the current image width x height: a tiling pass while the grid says so,
/// else the exact ratio tile by tile once (exactPassDone false) when the final pass would
/// resample an image larger than one worker takes, else the final pass. stepping is the
/// SteppingWidth; targetWidth must be > 0.
TStep NextStep(uint32_t width, uint32_t height, uint32_t targetWidth, uint32_t targetHeight,
    uint32_t stepping, bool exactPassDone);

} // namespace ResizePlan
