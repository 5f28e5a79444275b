#include "platform/thread.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

namespace {

bool setRealTime(int priority)
{
    sched_param param{};
    param.sched_priority = priority;
    return priority > 0 && ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0;
}

// On Linux a nice value belongs to one thread when it is set by thread id.
bool setNice(int value) { return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), value) == 0; }

} // namespace

bool raiseThreadPriority()
{
    // Privileged processes may take the top of the real-time range; others only up to their
    // RLIMIT_RTPRIO, which is usually 0.
    const int top = ::sched_get_priority_max(SCHED_FIFO);
    if (setRealTime(top))
        return true;
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && setRealTime(std::min<int>(top, static_cast<int>(limit.rlim_cur))))
        return true;

    // Failing that, the lowest nice value: -20 with the privilege, else what RLIMIT_NICE allows
    // (20 - limit), when that is below the thread's current value.
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (errno != 0)
        return false;
    if (current > -20 && setNice(-20))
        return true;
    if (::getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const int lowest = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
        if (lowest < current && setNice(lowest))
            return true;
    }
    return false;
}

} // namespace platform
