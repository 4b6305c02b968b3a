// The values of the window's panels that the Start handler reads, and the derived numbers it
// writes back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The operation panels of the window, in the order of the button row.
enum class TPanel : int { Convert = 1, Crop = 2, Resize = 3, Split = 4, Merge = 5, About = 6 };

/// The output-format radio buttons.
enum class TOutputChoice : int { Tif, TifLzw, Raw, Kro };

/// The numeric fields whose change runs the recalculation (the "sender" of it).
enum class TPanelField : int {
    SplitWidth,
    SplitHeight,
    SplitX,
    SplitY,
    ResizeW,
    ResizeH,
    MergeX,
    MergeY,
};

/// The values of the window's panels.
struct TPanelValues {
    TPanel CurrentPanel = TPanel::Convert;
    TOutputChoice Output = TOutputChoice::Tif;
    std::string EditOutputFolder; ///< text of the output folder field ("" = input's folder)
    std::string BrowseDirectory; ///< last folder chosen in the folder browse dialog
    int64_t CropX = 0;
    int64_t CropY = 0;
    int64_t CropW = 1;
    int64_t CropH = 1;
    int64_t SplitWidth = 1000;
    int64_t SplitHeight = 1000;
    int64_t SplitX = 0;
    int64_t SplitY = 0;
    int64_t ResizeW = 1000;
    int64_t ResizeH = 0;
    bool FastResize = false; ///< "Fast method (less quality)" chosen
    int64_t MergeX = 0;
    int64_t MergeY = 0;
    std::vector<std::string> SelectedFiles; ///< the tile set, in selection order
};

/// The output kind's name in the format table for a radio button.
const char* OutputKindName(TOutputChoice choice);
