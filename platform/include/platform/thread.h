#pragma once
// Scheduling of the calling thread.

namespace platform {

// Raises the calling thread to the highest priority the process is allowed to give it: a
// real-time policy where permitted, otherwise the lowest nice value permitted. True when the
// priority was raised; otherwise the thread keeps its normal priority.
bool raiseThreadPriority();

} // namespace platform
