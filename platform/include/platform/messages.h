#pragma once
// Message numbers. The programs' custom messages are fixed relative to WM_USER, and the system
// messages keep the numbers that the programs' logic and their pages were written against.

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr std::uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr std::uint32_t WM_NCDESTROY = 0x0082;
inline constexpr std::uint32_t WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_SIZING = 0x0214;
inline constexpr std::uint32_t WM_USER = 0x0400;

// Hit-test codes carried by WM_NCLBUTTONDOWN: a posted caption hit starts a move drag, a grow-box
// hit a resize drag.
inline constexpr std::uintptr_t HTCAPTION = 2;
inline constexpr std::uintptr_t HTGROWBOX = 4;

// Mouse key state carried in wParam of mouse messages.
inline constexpr std::uintptr_t MK_LBUTTON = 0x0001;

// WM_SIZE kinds.
inline constexpr std::uintptr_t SIZE_RESTORED = 0;
inline constexpr std::uintptr_t SIZE_MINIMIZED = 1;
inline constexpr std::uintptr_t SIZE_MAXIMIZED = 2;

} // namespace platform
