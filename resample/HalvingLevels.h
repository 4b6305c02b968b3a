// The levels of a pyramid made line by line: each level keeps one pending row and hands every
// finished pair of its rows, averaged 2 x 2, down to the next level.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

/// Side of level `level` of an image side: the side halved `level` times, rounded up each time
/// (which equals ceil(side / 2^level)).
uint32_t LevelSide(uint32_t side, uint32_t level);

/// Halvings that bring both sides to 1 pixel: ceil(log2(max(width, height))), 0 for 1 x 1.
uint32_t HalvingsToOnePixel(uint32_t width, uint32_t height);

/// Makes levels 1 to Reductions of an image from its rows (level 0) in order. A level pixel is
/// the average of the 2 x 2 pixels above it (2 or 1 at an odd right or bottom edge), rounded to
/// the nearest integer with halves to even. With 4 channels the colour is averaged weighted by
/// alpha (a transparent pixel gives no colour; all transparent gives the plain average), and
/// the alpha plainly. Memory: two rows per level. One thread.
class THalvingLevels {
public:
    /// Receives each row made: the level (0 = the row given), its row number and its pixels
    /// (LevelSide(width, level) x channels bytes, valid during the call only).
    using TRowSink = std::function<void(uint32_t level, uint32_t y, const uint8_t* row)>;

    /// Levels below an image of width x height pixels of `channels` (3 or 4) 8-bit samples.
    THalvingLevels(uint32_t width, uint32_t height, uint8_t channels, uint32_t reductions);

    /// Takes the next row of level 0 and gives sink that row, then every row of the smaller
    /// levels it completes, each level's rows in order.
    void AddRow(const uint8_t* row, const TRowSink& sink);

private:
    struct TLevel {
        uint32_t Width = 0;
        uint32_t Height = 0;
        uint32_t NextY = 0;
        std::vector<uint8_t> Pending; ///< the even row waiting for its pair
        std::vector<uint8_t> Reduced; ///< the row made for the level below
    };

    void AddAt(uint32_t level, const uint8_t* row, const TRowSink& sink);

    uint8_t FChannels;
    std::vector<TLevel> FLevels; ///< 0 to reductions
};

/// One row of the level below: pairs of pixels of `top` and `bottom` (null for an odd last row)
/// averaged as THalvingLevels does. Any thread.
void HalveRows(
    const uint8_t* top, const uint8_t* bottom, uint32_t width, uint8_t channels, uint8_t* out);
