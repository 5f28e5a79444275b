#pragma once
// Basic value types of the platform layer: window handles, message parameters, geometry.

#include <cstdint>

namespace platform {

// Windows are named by integer handles so that a handle can travel in a message parameter and be
// looked up later; 0 means "no window".
using Handle = std::uintptr_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Left/top inclusive, right/bottom exclusive, as window rectangles are usually given.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

constexpr std::uint16_t loWord(std::uintptr_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }
constexpr std::uint16_t hiWord(std::uintptr_t v) { return static_cast<std::uint16_t>((v >> 16) & 0xFFFF); }
constexpr LParam makeLParam(int lo, int hi)
{
    return static_cast<LParam>((static_cast<std::uint32_t>(hi & 0xFFFF) << 16) | static_cast<std::uint32_t>(lo & 0xFFFF));
}
// Signed coordinates packed into a message parameter (a point left of or above the origin).
constexpr int xFromLParam(LParam l) { return static_cast<std::int16_t>(loWord(static_cast<std::uintptr_t>(l))); }
constexpr int yFromLParam(LParam l) { return static_cast<std::int16_t>(hiWord(static_cast<std::uintptr_t>(l))); }

} // namespace platform
