#pragma once
// The main window's resize rule: a minimum size, and the wide elements stretched with the window.

#include <optional>

namespace chart {

constexpr int kMinWindowSize = 200;
constexpr int kWidthAllowance = 205;
constexpr int kHeightAllowance = 3700;

struct WindowLayout {
    int width = 0; // the window's outer size, raised to the minimum
    int height = 0;
    std::optional<int> elementWidth;  // for List1, Frame1 and Frame2, in this order; unset: keep theirs
    std::optional<int> elementHeight; // for List1 and Frame2
};

// From the window's outer Width and Height (border and title bar included), in twips.
WindowLayout windowLayout(int width, int height);

} // namespace chart
