// The numbers derived from the input and the typed sizes: tile counts, the clamped tile side and
// the height that keeps the aspect ratio for a target width.
#pragma once

#include <cstdint>

namespace Derived {

/// The tile fields cannot hold more than this.
inline constexpr int64_t kMaxTileSide = 1000000;
/// Below this a tile or target size is still being typed; the derived numbers wait for it.
inline constexpr int64_t kMinDerivedSide = 256;

/// Number of tiles of `tile` pixels needed to cover `side` pixels (tile > 0).
int64_t TileCount(int64_t side, int64_t tile);
/// A typed tile side limited to the image's side and to kMaxTileSide.
int64_t ClampTileSide(int64_t size, int64_t imageSide);
/// The height that keeps width x height's aspect ratio at targetWidth, rounded half to even
/// (the ratio in double, the division by it in extended precision). targetWidth > 0.
int64_t ResizeHeightFor(int64_t width, int64_t height, int64_t targetWidth);

} // namespace Derived
