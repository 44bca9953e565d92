#include "window_layout.h"

#include <algorithm>

namespace chart {

WindowLayout windowLayout(int width, int height) {
    WindowLayout l;
    l.width = std::max(width, kMinWindowSize);
    l.height = std::max(height, kMinWindowSize);
    if (l.width > kWidthAllowance)
        l.elementWidth = l.width - kWidthAllowance;
    if (l.height > kHeightAllowance)
        l.elementHeight = l.height - kHeightAllowance;
    return l;
}

} // namespace chart
