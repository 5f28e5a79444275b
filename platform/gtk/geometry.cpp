#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::gtk {

std::optional<Rect> taskbarRect(const Rect& monitor, const Rect& workArea)
{
    if (workArea.bottom < monitor.bottom && workArea.bottom > monitor.top)
        return Rect{monitor.left, workArea.bottom, monitor.right, monitor.bottom};
    if (workArea.right < monitor.right && workArea.right > monitor.left)
        return Rect{workArea.right, monitor.top, monitor.right, monitor.bottom};
    return std::nullopt;
}

namespace {

// The runs [left, right) of pixels whose centres lie inside the polygon on row y.
std::vector<std::pair<int, int>> rowRuns(const std::vector<Point>& polygon, int y)
{
    const double centre = y + 0.5;
    std::vector<double> crossings;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Point& a = polygon[i];
        const Point& b = polygon[(i + 1) % polygon.size()];
        // Half-open in y, so a vertex shared by two edges is counted once.
        if ((a.y <= centre) == (b.y <= centre))
            continue;
        crossings.push_back(a.x + (centre - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    std::vector<std::pair<int, int>> runs;
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
        const int left = static_cast<int>(std::ceil(crossings[i] - 0.5));
        const int right = static_cast<int>(std::ceil(crossings[i + 1] - 0.5));
        if (right > left)
            runs.emplace_back(left, right);
    }
    return runs;
}

} // namespace

std::vector<Rect> polygonRectangles(const std::vector<Point>& polygon)
{
    std::vector<Rect> rects;
    if (polygon.size() < 3)
        return rects;
    int top = std::numeric_limits<int>::max();
    int bottom = std::numeric_limits<int>::min();
    for (const Point& p : polygon) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    std::vector<std::pair<int, int>> previous;
    std::size_t previousStart = 0;   // index in rects of the previous row's first rectangle
    for (int y = top; y < bottom; ++y) {
        auto runs = rowRuns(polygon, y);
        if (!runs.empty() && runs == previous) {
            for (std::size_t i = 0; i < runs.size(); ++i)
                rects[previousStart + i].bottom = y + 1;
            continue;
        }
        previousStart = rects.size();
        for (const auto& [left, right] : runs)
            rects.push_back(Rect{left, y, right, y + 1});
        previous = std::move(runs);
    }
    return rects;
}

} // namespace platform::gtk
