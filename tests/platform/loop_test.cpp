// Message queue and timer semantics, driven by the simulated clock.

#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/sim/world.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

// A window that writes down what reaches it, and can run a reaction to a message.
class Recorder : public Window {
public:
    explicit Recorder(std::vector<std::string>& log) : log_(log)
    {
        CreateParams p;
        p.className = "Recorder";
        p.style = WS_POPUP;
        p.rect = {0, 0, 10, 10};
        EXPECT_TRUE(create(p));
    }
    ~Recorder() override
    {
        if (handle())
            destroyWindow(handle());
    }
    std::function<void(std::uint32_t, WParam)> react;

    LResult onMessage(std::uint32_t message, WParam w, LParam l) override
    {
        if (message == WM_TIMER)
            log_.push_back("timer " + std::to_string(w) + " @" + std::to_string(nowMs()));
        else if (message >= WM_USER)
            log_.push_back("msg " + std::to_string(message - WM_USER) + ":" + std::to_string(w));
        if (react)
            react(message, w);
        return defaultHandling(message, w, l);
    }

private:
    std::vector<std::string>& log_;
};

TEST(Loop, TimersFireAtTheirPeriodsInDeadlineThenSetOrder)
{
    sim::World world;
    std::vector<std::string> log;
    Recorder w(log);
    setTimer(w.handle(), 2, 100);
    setTimer(w.handle(), 1, 100);   // same deadline, set later: fires second
    setTimer(w.handle(), 3, 250);
    world.advance(300);
    EXPECT_EQ(log, (std::vector<std::string>{"timer 2 @100", "timer 1 @100", "timer 2 @200", "timer 1 @200",
                                             "timer 3 @250", "timer 2 @300", "timer 1 @300"}));
}

TEST(Loop, RearmingRestartsAndKillingInsideAHandlerStopsAtOnce)
{
    sim::World world;
    std::vector<std::string> log;
    Recorder w(log);
    setTimer(w.handle(), 1, 1000);
    world.advance(600);
    setTimer(w.handle(), 1, 1000);   // restarts: next at 1600, not 1000
    setTimer(w.handle(), 2, 1600);
    w.react = [&](std::uint32_t message, WParam id) {
        if (message == WM_TIMER && id == 1)
            killTimer(w.handle(), 2);   // due at the same moment, must not fire any more
    };
    world.advance(2000);
    EXPECT_EQ(log, (std::vector<std::string>{"timer 1 @1600", "timer 1 @2600"}));
    EXPECT_FALSE(hasTimer(w.handle(), 2));
}

TEST(Loop, PostedMessagesComeInOrderAndBeforeDueTimers)
{
    sim::World world;
    std::vector<std::string> log;
    Recorder w(log);
    setTimer(w.handle(), 9, 0);   // raised to the 10 ms minimum
    post(w.handle(), WM_USER + 1, 1);
    post(w.handle(), WM_USER + 2, 2);
    w.react = [&](std::uint32_t message, WParam) {
        if (message == WM_USER + 1)
            post(w.handle(), WM_USER + 3, 3);   // posted while dispatching: still before the timer
    };
    world.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"msg 1:1", "msg 2:2", "msg 3:3"}));
    post(w.handle(), WM_USER + 4, 4);
    world.advance(10);
    EXPECT_EQ(log, (std::vector<std::string>{"msg 1:1", "msg 2:2", "msg 3:3", "msg 4:4", "timer 9 @10"}));
}

TEST(Loop, ADestroyedWindowLosesItsMessagesAndTimers)
{
    sim::World world;
    std::vector<std::string> log;
    auto w = std::make_unique<Recorder>(log);
    const Handle h = w->handle();
    setTimer(h, 1, 100);
    post(h, WM_USER + 1);
    w.reset();
    EXPECT_FALSE(post(h, WM_USER + 2));
    world.advance(500);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(isWindow(h));
}

TEST(Loop, PostFromAnotherThreadWakesTheLoopAndQuitEndsRun)
{
    sim::World world;
    std::vector<std::string> log;
    Recorder w(log);
    w.react = [](std::uint32_t message, WParam code) {
        if (message == WM_USER + 5)
            quit(static_cast<int>(code));
    };
    const Handle h = w.handle();
    std::thread poster([h] { post(h, WM_USER + 5, 42); });
    EXPECT_EQ(run(), 42);
    poster.join();
    EXPECT_EQ(log, (std::vector<std::string>{"msg 5:42"}));
}

TEST(Loop, RunJumpsTheVirtualClockToTheNextTimer)
{
    sim::World world;
    std::vector<std::string> log;
    Recorder w(log);
    setTimer(w.handle(), 7, 300000);
    w.react = [](std::uint32_t message, WParam) {
        if (message == WM_TIMER)
            quit(0);
    };
    run();
    EXPECT_EQ(log, (std::vector<std::string>{"timer 7 @300000"}));
}

} // namespace
