// The main window's designed sizes that both its construction and its stretching use.
#pragma once

namespace MainGeometry {
/// The designed client size; the window opens at it and never gets smaller.
inline constexpr int kClientWidth = 426;
inline constexpr int kClientHeight = 608;
/// The input and output path fields, and the "..." button right of each.
inline constexpr int kPathFieldWidth = 385;
inline constexpr int kBrowseX = 396;
/// The information box and its header.
inline constexpr int kInfoWidth = 408;
inline constexpr int kStatusHeight = 19;
} // namespace MainGeometry
