// Tile counts, tile sides and the aspect-keeping height.
#include "jobs/Derived.h"

#include <algorithm>
#include <cmath>

namespace Derived {

int64_t TileCount(int64_t side, int64_t tile)
{
    return side / tile + (side % tile != 0 ? 1 : 0);
}

int64_t ClampTileSide(int64_t size, int64_t imageSide)
{
    return std::min({ size, imageSide, kMaxTileSide });
}

int64_t ResizeHeightFor(int64_t width, int64_t height, int64_t targetWidth)
{
    const double ratio = static_cast<double>(width) / static_cast<double>(targetWidth);
    // Round-to-nearest is the mode in force: halves go to the even neighbour.
    return static_cast<int64_t>(std::nearbyint(static_cast<long double>(height) / ratio));
}

} // namespace Derived
