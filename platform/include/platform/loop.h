#pragma once
// The message loop of the GUI thread: posted and sent messages, window timers, run and quit.
//
// Posted messages are delivered in the order they were posted. Timers are keyed by (window, id);
// setting an id that is already armed restarts it with the new period. Due timers fire after the
// posted messages that are waiting, ordered by deadline and then by the order they were set.
// Killing or re-arming a timer from inside any handler is safe.

#include "platform/types.h"

#include <cstdint>

namespace platform {

// Milliseconds on the loop's clock: the virtual clock under simulation, the monotonic clock on a
// real desktop.
std::int64_t nowMs();

// Queues a message for `window`. Safe to call from any thread. Fails for a handle that names no
// window (at the time of posting); a window destroyed before delivery drops its messages.
bool post(Handle window, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);

// Calls the window's handler at once, on the calling (GUI) thread, and returns its answer;
// 0 when the handle names no window.
LResult send(Handle window, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);

// Arms timer `id` of `window` to fire WM_TIMER (wParam = id) every `periodMs` milliseconds
// (10 at the least).
bool setTimer(Handle window, std::uintptr_t id, std::uint32_t periodMs);
bool killTimer(Handle window, std::uintptr_t id);
bool hasTimer(Handle window, std::uintptr_t id);

// Runs the loop until quit() and returns the code given to quit().
int run();
void quit(int exitCode = 0);

} // namespace platform
