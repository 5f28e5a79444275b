#pragma once
// Geometry the backend works out without asking the display, kept apart so it can be checked on
// its own.

#include "platform/types.h"

#include <optional>
#include <vector>

namespace platform::gtk {

// The taskbar as the programs expect it: the strip of the monitor outside its work area, at the
// bottom or else at the right. Nothing when the work area leaves neither (a panel at the top or
// left has no place in the programs' work-area rules).
std::optional<Rect> taskbarRect(const Rect& monitor, const Rect& workArea);

// The pixels inside a polygon (even-odd rule, a pixel counts when its centre is inside), as
// rectangles: one per run of pixels in a row, rows with the same runs merged into one taller
// rectangle. Fewer than three points give nothing.
std::vector<Rect> polygonRectangles(const std::vector<Point>& polygon);

} // namespace platform::gtk
