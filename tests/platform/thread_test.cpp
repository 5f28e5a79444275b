// Raising a thread's priority: as far as the process may, and silently not at all otherwise.

#include "platform/thread.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

// What the scheduler says about the calling thread.
struct Scheduling {
    int policy;
    int priority;   // real-time priority
    int nice;
};

Scheduling scheduling()
{
    sched_param param{};
    int policy = 0;
    pthread_getschedparam(pthread_self(), &policy, &param);
    return {policy, param.sched_priority, getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()))};
}

TEST(ThreadPriority, RaisesOnlyTheCallingThreadAndSaysWhetherItDid)
{
    Scheduling before{}, after{};
    bool raised = false;
    std::thread worker([&] {
        before = scheduling();
        raised = raiseThreadPriority();
        after = scheduling();
    });
    worker.join();
    if (raised) {
        EXPECT_TRUE((after.policy == SCHED_FIFO && after.priority > 0) || after.nice < before.nice);
    } else {
        EXPECT_EQ(after.policy, before.policy);
        EXPECT_EQ(after.nice, before.nice);
    }
    const Scheduling mine = scheduling();
    EXPECT_EQ(mine.policy, before.policy);
    EXPECT_EQ(mine.nice, before.nice);
}

TEST(ThreadPriority, AnUnprivilegedProcessGetsWhatItsLimitsAllow)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to give a child process up its privileges";
    struct Case {
        rlim_t rtprio;
        rlim_t nice;      // RLIMIT_NICE: the lowest nice value allowed is 20 - this
        bool raised;
        int policy;
        int priority;
        int niceValue;
    } cases[] = {
        {0, 0, false, SCHED_OTHER, 0, 0},
        {0, 25, true, SCHED_OTHER, 0, -5},
        {10, 0, true, SCHED_FIFO, 10, 0},
    };
    constexpr int kCannotSetUp = 77;
    std::string skipped;
    for (const Case& c : cases) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A plain user with these limits and nothing else.
            rlimit rt{c.rtprio, c.rtprio}, nice{c.nice, c.nice};
            // Raising a hard limit needs CAP_SYS_RESOURCE, which a container may lack.
            if (setrlimit(RLIMIT_RTPRIO, &rt) != 0 || setrlimit(RLIMIT_NICE, &nice) != 0)
                _exit(kCannotSetUp);
            if (setpriority(PRIO_PROCESS, 0, 0) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            const bool raised = raiseThreadPriority();
            const Scheduling s = scheduling();
            _exit(raised == c.raised && s.policy == c.policy && s.priority == c.priority && s.nice == c.niceValue ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == kCannotSetUp) {
            skipped += "RLIMIT_RTPRIO " + std::to_string(c.rtprio) + ", RLIMIT_NICE " + std::to_string(c.nice) + "; ";
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(status), 0) << "RLIMIT_RTPRIO " << c.rtprio << ", RLIMIT_NICE " << c.nice;
    }
    if (!skipped.empty())
        std::printf("not run here, the limits cannot be raised: %s\n", skipped.c_str());
}

} // namespace
