// The real desktop backend. Tests that need an X display (run under Xvfb) skip without DISPLAY;
// the rest (geometry, folders, programs, signals) run anywhere.

#include "geometry.h"
#include "platform/browser.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/gtk/desktop_app.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/process.h"
#include "platform/services.h"
#include "platform/tray.h"
#include "platform/window.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib's macros (None, Bool ...) would break its headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {
// Readable failures for rectangles.
void PrintTo(const Rect& r, std::ostream* os) { *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}"; }
} // namespace platform

namespace fs = std::filesystem;
using platform::Handle;
using platform::LParam;
using platform::Rect;
using platform::WParam;

namespace {

constexpr int kWaitMs = 5000;

// ---------------------------------------------------------------------------------------------
// Helpers

// A scratch folder that stands in for the user's data and runtime folders.
class ScratchHome {
public:
    ScratchHome()
    {
        std::string pattern = (fs::temp_directory_path() / "gtk-smoke-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
        fs::create_directories(root_ + "/run");
        setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root_ + "/run").c_str(), 1);
    }
    ~ScratchHome()
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

// A window that remembers what it was sent. WM_CLOSE is only recorded, so the window stays.
class Recorder : public platform::Window {
public:
    struct Message {
        std::uint32_t message;
        WParam wParam;
        LParam lParam;
        std::int64_t at;
    };

    ~Recorder() override
    {
        if (handle())
            platform::destroyWindow(handle());
    }

    bool create(const Rect& rect, std::uint32_t style = platform::WS_POPUP, Handle parent = 0)
    {
        platform::CreateParams params;
        params.className = "SmokeRecorder";
        params.title = "smoke";
        params.style = style;
        params.rect = rect;
        params.parent = parent;
        return platform::Window::create(params);
    }

    std::vector<Message> received;
    // Called for every message after it has been recorded.
    std::function<void(const Message&)> react;

    std::vector<Message> mouse() const
    {
        std::vector<Message> picked;
        for (const Message& m : received)
            if (m.message >= platform::WM_MOUSEMOVE && m.message <= platform::WM_RBUTTONUP)
                picked.push_back(m);
        return picked;
    }
    bool got(std::uint32_t message) const
    {
        return std::any_of(received.begin(), received.end(), [message](const Message& m) { return m.message == message; });
    }

protected:
    platform::LResult onMessage(std::uint32_t message, WParam wParam, LParam lParam) override
    {
        received.push_back({message, wParam, lParam, platform::nowMs()});
        if (react)
            react(received.back());
        if (message == platform::WM_CLOSE)
            return 0;
        return defaultHandling(message, wParam, lParam);
    }
};

// The contents a program writes into a FIFO, awaited without sleeping; nothing when no writer
// comes within the time.
std::optional<std::string> readFifo(const std::string& path, int timeoutMs)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::string data;
    bool sawWriter = false;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, static_cast<std::size_t>(n));
            sawWriter = true;
        } else if (n == 0 && (sawWriter || (p.revents & POLLHUP))) {
            break;
        }
    }
    ::close(fd);
    return sawWriter ? std::optional<std::string>(data) : std::nullopt;
}

void writeScript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
}

// A second connection to the X server for what the desktop itself does in these tests: synthetic
// input (XTest), a window manager's requests and properties, a tray host.
class XClient {
public:
    XClient() : display_(XOpenDisplay(nullptr)) {}
    ~XClient()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    Display* display() const { return display_; }
    ::Window root() const { return DefaultRootWindow(display_); }
    Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

    void click(int x, int y, unsigned button, int times = 1)
    {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        for (int i = 0; i < times; ++i) {
            XTestFakeButtonEvent(display_, button, True, CurrentTime);
            XTestFakeButtonEvent(display_, button, False, CurrentTime);
        }
        XSync(display_, False);
    }

    void setCardinals(::Window window, const char* property, std::vector<long> values)
    {
        XChangeProperty(display_, window, atom(property), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(values.data()), static_cast<int>(values.size()));
        XSync(display_, False);
    }

private:
    Display* display_;
};

// ---------------------------------------------------------------------------------------------
// Fixtures

// A session with or without a display.
class GtkServices : public ::testing::Test {
protected:
    void SetUp() override { makeSession("gtk-smoke"); }
    void TearDown() override { session.reset(); }

    void makeSession(const std::string& name, const PlatformResourceTable* resources = nullptr)
    {
        session.reset();
        int argc = 0;
        char** argv = nullptr;
        session = std::make_unique<platform::gtk::DesktopSession>(argc, argv, resources, name);
    }

    ScratchHome home;
    std::unique_ptr<platform::gtk::DesktopSession> session;
};

// A session on a real display.
class GtkDesktop : public GtkServices {
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            GTEST_SKIP() << "no X display";
        GtkServices::SetUp();
        ASSERT_TRUE(session->hasDisplay());
        ASSERT_NE(x.display(), nullptr);
    }

    bool waitFor(const std::function<bool()>& done) { return session->pumpUntil(done, kWaitMs); }

    bool shownAt(Handle window, const Rect& rect)
    {
        auto native = session->nativeGeometry(window);
        return native && native->mapped && native->rect == rect;
    }

    XClient x;
};

// ---------------------------------------------------------------------------------------------
// Geometry worked out without a display

TEST(GtkGeometry, TaskbarIsTheStripOfTheMonitorOutsideTheWorkArea)
{
    const Rect monitor{0, 0, 1920, 1080};
    struct Case {
        const char* name;
        Rect workArea;
        std::optional<Rect> taskbar;
    } cases[] = {
        {"no panel", monitor, std::nullopt},
        {"bottom panel", {0, 0, 1920, 1040}, Rect{0, 1040, 1920, 1080}},
        {"right panel", {0, 0, 1860, 1080}, Rect{1860, 0, 1920, 1080}},
        {"top panel only", {0, 32, 1920, 1080}, std::nullopt},
        {"left panel only", {64, 0, 1920, 1080}, std::nullopt},
        {"bottom and right: bottom wins", {0, 0, 1860, 1040}, Rect{0, 1040, 1920, 1080}},
        {"top and bottom panels", {0, 32, 1920, 1040}, Rect{0, 1040, 1920, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::gtk::taskbarRect(monitor, c.workArea), c.taskbar);
    }
    // A second monitor to the right of the first keeps its own coordinates.
    EXPECT_EQ(platform::gtk::taskbarRect({1920, 0, 3200, 1024}, {1920, 0, 3200, 984}), (Rect{1920, 984, 3200, 1024}));
}

TEST(GtkGeometry, PolygonBecomesRowsOfRectangles)
{
    using platform::Point;
    struct Case {
        const char* name;
        std::vector<Point> polygon;
        std::vector<Rect> rects;
    } cases[] = {
        {"too few points", {{0, 0}, {10, 10}}, {}},
        {"axis-aligned rectangle: one rectangle, right and bottom edges outside",
         {{0, 0}, {10, 0}, {10, 5}, {0, 5}},
         {{0, 0, 10, 5}}},
        {"right triangle: a pixel counts when its centre is inside",
         {{0, 0}, {4, 0}, {0, 4}},
         {{0, 0, 3, 1}, {0, 1, 2, 2}, {0, 2, 1, 3}}},
        {"U shape: two runs in the arms' rows, merged over equal rows",
         {{0, 0}, {2, 0}, {2, 3}, {4, 3}, {4, 0}, {6, 0}, {6, 5}, {0, 5}},
         {{0, 0, 2, 3}, {4, 0, 6, 3}, {0, 3, 6, 5}}},
        {"offset rectangle keeps its place", {{5, 7}, {8, 7}, {8, 9}, {5, 9}}, {{5, 7, 8, 9}}},
        {"flat polygon has no pixels", {{0, 3}, {5, 3}, {9, 3}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::gtk::polygonRectangles(c.polygon), c.rects);
    }
}

// ---------------------------------------------------------------------------------------------
// Native windows

TEST_F(GtkDesktop, HiddenWindowIsNotMappedAndShownWindowSitsExactlyWhereAsked)
{
    Recorder window;
    ASSERT_TRUE(window.create(Rect{123, 45, 323, 145}));
    auto hidden = session->nativeGeometry(window.handle());
    ASSERT_TRUE(hidden.has_value());
    EXPECT_FALSE(hidden->mapped);
    EXPECT_NE(session->nativeWindowId(window.handle()), 0u);

    platform::showWindow(window.handle(), platform::Show::Show);
    EXPECT_TRUE(waitFor([&] { return shownAt(window.handle(), Rect{123, 45, 323, 145}); }));

    // Moving a shown window follows the table, and the table stays where it was put.
    platform::moveWindow(window.handle(), Rect{200, 150, 320, 230});
    EXPECT_TRUE(waitFor([&] { return shownAt(window.handle(), Rect{200, 150, 320, 230}); }));
    EXPECT_EQ(platform::windowRect(window.handle()), (Rect{200, 150, 320, 230}));

    platform::showWindow(window.handle(), platform::Show::Hide);
    EXPECT_TRUE(waitFor([&] { return !session->nativeGeometry(window.handle())->mapped; }));

    // Pseudo-windows have no native side.
    EXPECT_FALSE(session->nativeGeometry(platform::desktopWindow()).has_value());
}

TEST_F(GtkDesktop, OpacityIsRefusedWithoutACompositor)
{
    // Xvfb has no compositing manager: the window stays opaque and the caller hears so.
    Recorder window;
    ASSERT_TRUE(window.create(Rect{10, 10, 60, 60}));
    platform::setWindowExStyle(window.handle(), platform::WS_EX_LAYERED);
    platform::showWindow(window.handle(), platform::Show::ShowNA);
    EXPECT_FALSE(platform::setWindowOpacity(window.handle(), 128));
    EXPECT_FALSE(platform::windowOpacity(window.handle()).has_value());
}

TEST_F(GtkDesktop, ChildWindowSitsInsideItsParentAndGetsItsOwnClicks)
{
    Recorder parent;
    Recorder child;
    ASSERT_TRUE(parent.create(Rect{100, 100, 400, 300}));
    ASSERT_TRUE(child.create(Rect{20, 30, 70, 70}, platform::WS_CHILD | platform::WS_VISIBLE, parent.handle()));
    platform::showWindow(parent.handle(), platform::Show::Show);
    ASSERT_TRUE(waitFor([&] { return shownAt(child.handle(), Rect{120, 130, 170, 170}); }));

    x.click(125, 140, 1);
    ASSERT_TRUE(waitFor([&] { return child.mouse().size() >= 2; }));
    EXPECT_EQ(child.mouse()[0].message, platform::WM_LBUTTONDOWN);
    EXPECT_EQ(child.mouse()[0].lParam, platform::makeLParam(5, 10));
    EXPECT_TRUE(parent.mouse().empty());

    // Moving the child within its parent.
    platform::moveWindow(child.handle(), Rect{200, 100, 260, 150});
    EXPECT_TRUE(waitFor([&] { return shownAt(child.handle(), Rect{300, 200, 360, 250}); }));
}

TEST_F(GtkDesktop, ClicksReachTheWindowAsMouseMessagesWithClientCoordinates)
{
    Recorder window;
    ASSERT_TRUE(window.create(Rect{123, 45, 323, 145}));
    platform::showWindow(window.handle(), platform::Show::Show);
    ASSERT_TRUE(waitFor([&] { return shownAt(window.handle(), Rect{123, 45, 323, 145}); }));

    x.click(133, 65, 1, 2);   // a double click
    x.click(300, 140, 3);
    EXPECT_EQ(platform::cursorPos(), (platform::Point{300, 140}));
    ASSERT_TRUE(waitFor([&] { return window.mouse().size() >= 7; }));
    const auto mouse = window.mouse();
    const std::vector<std::uint32_t> expected{platform::WM_LBUTTONDOWN, platform::WM_LBUTTONUP,   platform::WM_LBUTTONDOWN,
                                              platform::WM_LBUTTONDBLCLK, platform::WM_LBUTTONUP, platform::WM_RBUTTONDOWN,
                                              platform::WM_RBUTTONUP};
    std::vector<std::uint32_t> got;
    for (const auto& m : mouse)
        got.push_back(m.message);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(mouse[0].lParam, platform::makeLParam(10, 20));
    EXPECT_EQ(mouse[0].wParam & 1u, 1u);   // the left button is down
    EXPECT_EQ(mouse[1].wParam & 1u, 0u);   // and up again
    EXPECT_EQ(mouse[5].lParam, platform::makeLParam(177, 95));
}

TEST_F(GtkDesktop, CloseRequestBecomesWmCloseAndTheWindowStays)
{
    Recorder window;
    ASSERT_TRUE(window.create(Rect{50, 50, 150, 150}));
    platform::showWindow(window.handle(), platform::Show::Show);
    ASSERT_TRUE(waitFor([&] { return shownAt(window.handle(), Rect{50, 50, 150, 150}); }));

    // What a window manager sends for its close button.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = session->nativeWindowId(window.handle());
    event.xclient.message_type = x.atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(x.atom("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x.display(), event.xclient.window, False, NoEventMask, &event);
    XFlush(x.display());

    ASSERT_TRUE(waitFor([&] { return window.got(platform::WM_CLOSE); }));
    EXPECT_TRUE(platform::isWindow(window.handle()));
    EXPECT_TRUE(session->nativeGeometry(window.handle())->mapped);
}

// ---------------------------------------------------------------------------------------------
// The loop

TEST_F(GtkServices, PostedMessageAndTimerArriveInOrderThroughRun)
{
    Recorder window;
    ASSERT_TRUE(window.create(Rect{0, 0, 10, 10}));
    window.received.clear();
    const std::int64_t armed = platform::nowMs();
    platform::setTimer(window.handle(), 7, 50);
    platform::post(window.handle(), platform::WM_USER + 1, 11, 12);
    window.react = [&](const Recorder::Message& m) {
        if (m.message == platform::WM_TIMER) {
            platform::killTimer(window.handle(), m.wParam);
            platform::quit(5);
        }
    };
    EXPECT_EQ(platform::run(), 5);

    ASSERT_EQ(window.received.size(), 2u);
    EXPECT_EQ(window.received[0].message, platform::WM_USER + 1);
    EXPECT_EQ(window.received[0].wParam, 11u);
    EXPECT_EQ(window.received[1].message, platform::WM_TIMER);
    EXPECT_EQ(window.received[1].wParam, 7u);
    EXPECT_GE(window.received[1].at - armed, 50);
}

TEST_F(GtkServices, MessagePostedFromAnotherThreadWakesAnIdleLoop)
{
    Recorder window;
    ASSERT_TRUE(window.create(Rect{0, 0, 10, 10}));
    const Handle handle = window.handle();
    std::thread poster;
    platform::setTimer(handle, 1, 10);        // starts the other thread once the loop runs
    platform::setTimer(handle, 2, kWaitMs);   // a guard: without a wake-up the loop sleeps until it
    window.react = [&](const Recorder::Message& m) {
        if (m.message == platform::WM_TIMER && m.wParam == 1) {
            platform::killTimer(handle, 1);
            poster = std::thread([handle] { platform::post(handle, platform::WM_USER + 2); });
        } else if (m.message == platform::WM_TIMER) {
            platform::quit(99);
        } else if (m.message == platform::WM_USER + 2) {
            platform::quit(0);
        }
    };
    EXPECT_EQ(platform::run(), 0);
    poster.join();
}

// ---------------------------------------------------------------------------------------------
// Message boxes

TEST_F(GtkDesktop, MessageBoxIsAnsweredFromInsideItsModalLoop)
{
    enum class Act { Answer, Close };
    struct Case {
        const char* name;
        platform::Buttons buttons;
        Act act;
        int button;
        int result;
    } cases[] = {
        {"yes", platform::Buttons::YesNo, Act::Answer, platform::IDYES, platform::IDYES},
        {"no", platform::Buttons::YesNo, Act::Answer, platform::IDNO, platform::IDNO},
        {"closing a yes/no box counts as no", platform::Buttons::YesNo, Act::Close, 0, platform::IDNO},
        {"ok", platform::Buttons::Ok, Act::Answer, platform::IDOK, platform::IDOK},
        {"closing an ok box", platform::Buttons::Ok, Act::Close, 0, platform::IDOK},
    };
    Recorder window;
    ASSERT_TRUE(window.create(Rect{0, 0, 10, 10}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<platform::gtk::MessageBoxInfo> seen;
        bool wrongButtonRefused = false;
        // The timer fires inside the box's own loop: the layer keeps delivering there.
        window.react = [&](const Recorder::Message& m) {
            if (m.message != platform::WM_TIMER)
                return;
            platform::killTimer(window.handle(), m.wParam);
            seen = session->openMessageBoxes();
            wrongButtonRefused = !session->answerMessageBox(c.buttons == platform::Buttons::Ok ? platform::IDYES : platform::IDOK);
            if (c.act == Act::Answer)
                session->answerMessageBox(c.button);
            else
                session->closeMessageBox();
        };
        platform::setTimer(window.handle(), 3, 20);
        EXPECT_EQ(platform::messageBox(0, "첫 줄\r\n둘째 줄", "Tacklet", c.buttons), c.result);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "Tacklet");
        EXPECT_EQ(seen[0].text, "첫 줄\n둘째 줄");
        EXPECT_TRUE(wrongButtonRefused);
        EXPECT_TRUE(session->openMessageBoxes().empty());
    }
    EXPECT_FALSE(session->answerMessageBox(platform::IDOK));
    EXPECT_FALSE(session->closeMessageBox());
}

// ---------------------------------------------------------------------------------------------
// The taskbar pseudo-window

// Properties a window manager with a panel would set: a supporting-WM check window, the hints it
// supports, and the work area.
class FakeWorkArea {
public:
    explicit FakeWorkArea(XClient& x) : x_(x)
    {
        check_ = XCreateSimpleWindow(x.display(), x.root(), 0, 0, 1, 1, 0, 0, 0);
        XChangeProperty(x.display(), x.root(), x.atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&check_), 1);
        XChangeProperty(x.display(), check_, x.atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&check_), 1);
        Atom supported = x.atom("_NET_WORKAREA");
        XChangeProperty(x.display(), x.root(), x.atom("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&supported), 1);
        XSync(x.display(), False);
    }
    ~FakeWorkArea()
    {
        // The X server outlives the test: leave its root window as it was.
        for (const char* property : {"_NET_WORKAREA", "_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK"})
            XDeleteProperty(x_.display(), x_.root(), x_.atom(property));
        XDestroyWindow(x_.display(), check_);
        XSync(x_.display(), False);
    }
    void set(const Rect& area)
    {
        x_.setCardinals(x_.root(), "_NET_WORKAREA", {area.left, area.top, area.width(), area.height()});
    }

private:
    XClient& x_;
    ::Window check_;
};

TEST_F(GtkDesktop, TaskbarPseudoWindowFollowsTheWorkArea)
{
    // Bare Xvfb: no panel, no work area, no taskbar.
    EXPECT_EQ(platform::findWindow("Shell_TrayWnd", ""), 0u);

    const Rect screen = platform::screenRect();
    ASSERT_GT(screen.height(), 100);
    auto taskbarIs = [](const Rect& rect) {
        const Handle taskbar = platform::findWindow("Shell_TrayWnd", "");
        return taskbar && platform::windowRect(taskbar) == rect;
    };
    FakeWorkArea panel(x);
    panel.set(Rect{0, 0, screen.right, screen.bottom - 40});
    EXPECT_TRUE(waitFor([&] { return taskbarIs(Rect{0, screen.bottom - 40, screen.right, screen.bottom}); }));

    panel.set(Rect{0, 0, screen.right - 60, screen.bottom});
    EXPECT_TRUE(waitFor([&] { return taskbarIs(Rect{screen.right - 60, 0, screen.right, screen.bottom}); }));

    panel.set(screen);
    EXPECT_TRUE(waitFor([] { return platform::findWindow("Shell_TrayWnd", "") == 0; }));
}

// ---------------------------------------------------------------------------------------------
// The tray

// The smallest XEmbed system tray: owns the tray selection and embeds every icon that asks.
class TrayHost {
public:
    explicit TrayHost(XClient& x) : x_(x)
    {
        window_ = XCreateSimpleWindow(x.display(), x.root(), 500, 10, 48, 24, 0, 0, 0);
        XSelectInput(x.display(), window_, SubstructureNotifyMask);
        XMapWindow(x.display(), window_);
        const Atom selection = x.atom("_NET_SYSTEM_TRAY_S0");
        XSetSelectionOwner(x.display(), selection, window_, CurrentTime);
        XEvent manager{};
        manager.xclient.type = ClientMessage;
        manager.xclient.window = x.root();
        manager.xclient.message_type = x.atom("MANAGER");
        manager.xclient.format = 32;
        manager.xclient.data.l[0] = CurrentTime;
        manager.xclient.data.l[1] = static_cast<long>(selection);
        manager.xclient.data.l[2] = static_cast<long>(window_);
        XSendEvent(x.display(), x.root(), False, StructureNotifyMask, &manager);
        XSync(x.display(), False);
    }
    ~TrayHost()
    {
        XDestroyWindow(x_.display(), window_);
        XSync(x_.display(), False);
    }

    // Handles what has arrived: dock requests, and icons leaving (unmapped or destroyed).
    void pump()
    {
        while (XPending(x_.display())) {
            XEvent event;
            XNextEvent(x_.display(), &event);
            if (event.type == ClientMessage && event.xclient.message_type == x_.atom("_NET_SYSTEM_TRAY_OPCODE") &&
                event.xclient.data.l[1] == 0)
                embed(static_cast<::Window>(event.xclient.data.l[2]));
            else if ((event.type == UnmapNotify && event.xunmap.window == icon_) ||
                     (event.type == DestroyNotify && event.xdestroywindow.window == icon_))
                icon_ = 0;
        }
    }
    bool iconShown()
    {
        pump();
        XWindowAttributes attributes;
        return icon_ && XGetWindowAttributes(x_.display(), icon_, &attributes) && attributes.map_state == IsViewable;
    }
    bool iconGone()
    {
        pump();
        return icon_ == 0;
    }

private:
    static int ignoreErrors(Display*, XErrorEvent*) { return 0; }

    void embed(::Window icon)
    {
        // A dock request may name a window that is gone again; the host must not fail on it.
        XSync(x_.display(), False);
        const auto previous = XSetErrorHandler(ignoreErrors);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(x_.display(), icon, &attributes)) {
            icon_ = icon;
            XReparentWindow(x_.display(), icon, window_, 0, 0);
            XResizeWindow(x_.display(), icon, 24, 24);
            XEvent notify{};
            notify.xclient.type = ClientMessage;
            notify.xclient.window = icon;
            notify.xclient.message_type = x_.atom("_XEMBED");
            notify.xclient.format = 32;
            notify.xclient.data.l[0] = CurrentTime;
            notify.xclient.data.l[1] = 0;   // embedded notify
            notify.xclient.data.l[3] = static_cast<long>(window_);
            XSendEvent(x_.display(), icon, False, NoEventMask, &notify);
            XMapWindow(x_.display(), icon);
        }
        XSync(x_.display(), False);
        XSetErrorHandler(previous);
    }

    XClient& x_;
    ::Window window_ = 0;
    ::Window icon_ = 0;
};

class GtkTray : public GtkDesktop {
protected:
    void SetUp() override
    {
        GtkDesktop::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            tray.emplace(x);
    }
    std::optional<TrayHost> tray;
};

TEST_F(GtkTray, TrayIconEmbedsInTheTrayAndReportsClicksToItsOwner)
{
    Recorder owner;
    ASSERT_TRUE(owner.create(Rect{0, 0, 10, 10}));
    const std::uint32_t callback = platform::WM_USER + 1;

    platform::NotifyIconData icon;
    icon.window = owner.handle();
    icon.id = 1;
    icon.flags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
    icon.callbackMessage = callback;
    icon.tip = "Tacklet V2.0";
    ASSERT_TRUE(platform::notifyIcon(platform::NotifyAction::Add, icon));
    EXPECT_FALSE(platform::notifyIcon(platform::NotifyAction::Add, icon));
    ASSERT_TRUE(waitFor([&] { return tray->iconShown(); }));

    // A picture that is no image is refused; no picture at all is fine.
    platform::NotifyIconData picture = icon;
    picture.flags = platform::NIF_ICON;
    picture.icon = {'n', 'o', 't', ' ', 'p', 'n', 'g'};
    EXPECT_FALSE(platform::notifyIcon(platform::NotifyAction::Modify, picture));
    picture.icon.clear();
    EXPECT_TRUE(platform::notifyIcon(platform::NotifyAction::Modify, picture));

    auto callbacks = [&] {
        std::vector<LParam> mouse;
        for (const auto& m : owner.received)
            if (m.message == callback && m.wParam == icon.id)
                mouse.push_back(m.lParam);
        return mouse;
    };
    x.click(512, 22, 1, 2);   // a double click
    x.click(512, 22, 3);
    ASSERT_TRUE(waitFor([&] { return callbacks().size() >= 4; }));
    EXPECT_EQ(callbacks(), (std::vector<LParam>{platform::WM_LBUTTONUP, platform::WM_LBUTTONDBLCLK, platform::WM_LBUTTONUP,
                                                platform::WM_RBUTTONUP}));

    EXPECT_TRUE(platform::notifyIcon(platform::NotifyAction::Delete, icon));
    EXPECT_TRUE(waitFor([&] { return tray->iconGone(); }));
    EXPECT_FALSE(platform::notifyIcon(platform::NotifyAction::Delete, icon));
    EXPECT_FALSE(platform::notifyIcon(platform::NotifyAction::Modify, icon));
}

// ---------------------------------------------------------------------------------------------
// Folders

TEST_F(GtkServices, FoldersLiveInTheUsersDataFolder)
{
    const std::string data = home.root() + "/data/gtk-smoke";
    EXPECT_EQ(platform::windowsFolder(), data + "/windows");
    EXPECT_TRUE(platform::isDirectory(data + "/windows/temp"));
    EXPECT_EQ(platform::systemFolder(), data + "/system");
    EXPECT_TRUE(platform::isDirectory(data + "/system"));
    EXPECT_EQ(fs::path(platform::modulePath()), fs::read_symlink("/proc/self/exe"));

    // The one-instance mutex lives in the runtime folder.
    platform::NamedMutex first;
    platform::NamedMutex second;
    EXPECT_EQ(first.create("SMOKE"), 0u);
    EXPECT_EQ(second.create("SMOKE"), platform::ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(platform::fileExists(home.root() + "/run/SMOKE.lock"));
}

TEST_F(GtkServices, WithoutARuntimeFolderMutexesGoToAPrivateFolder)
{
    unsetenv("XDG_RUNTIME_DIR");
    const std::string name = "gtk-smoke-" + std::to_string(getpid());
    const std::string shared = "/tmp/" + name + "-" + std::to_string(getuid());
    struct Cleanup {
        std::string path;
        ~Cleanup()
        {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } cleanup{shared};

    makeSession(name);
    platform::NamedMutex mutex;
    EXPECT_EQ(mutex.create("SMOKE"), 0u);
    EXPECT_TRUE(platform::fileExists(shared + "/SMOKE.lock"));
    EXPECT_EQ(fs::status(shared).permissions() & fs::perms::all, fs::perms::owner_all);

    // A name in /tmp that someone else prepared is not used.
    session.reset();
    fs::remove_all(shared);
    fs::create_directories(home.root() + "/elsewhere");
    fs::create_directory_symlink(home.root() + "/elsewhere", shared);
    makeSession(name);
    platform::NamedMutex again;
    EXPECT_EQ(again.create("SMOKE"), 0u);
    EXPECT_FALSE(platform::fileExists(home.root() + "/elsewhere/SMOKE.lock"));
    EXPECT_TRUE(platform::fileExists(home.root() + "/data/" + name + "/run/SMOKE.lock"));
}

// ---------------------------------------------------------------------------------------------
// Programs

class GtkPrograms : public GtkServices {
protected:
    void SetUp() override
    {
        GtkServices::SetUp();
        bin = home.root() + "/bin with space";
        fs::create_directories(bin);
        fifo = home.root() + "/out.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        // Writes its arguments, each in brackets, into the FIFO named by OUT.
        echo = bin + "/echo args";
        writeScript(echo, "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$OUT\"");
        setenv("OUT", fifo.c_str(), 1);
        path = std::getenv("PATH");
    }
    void TearDown() override
    {
        setenv("PATH", path.c_str(), 1);
        GtkServices::TearDown();
    }
    // Puts a program of that name first on the PATH.
    void fakeProgram(const std::string& name, const std::string& body)
    {
        fs::create_directories(home.root() + "/fake");
        writeScript(home.root() + "/fake/" + name, body);
        setenv("PATH", (home.root() + "/fake:/usr/bin:/bin").c_str(), 1);
    }

    std::string bin;
    std::string fifo;
    std::string echo;
    std::string path;
};

TEST_F(GtkPrograms, StartProgramSplitsTheCommandLineAndUsesNoShell)
{
    ASSERT_EQ(platform::startProgram("\"" + echo + "\" \"two words\" a;b $HOME \"say \\\"hi\\\"\"", true), 0u);
    EXPECT_EQ(readFifo(fifo, kWaitMs), "[two words][a;b][$HOME][say \"hi\"]");

    const std::string plain = home.root() + "/not executable";
    std::ofstream(plain) << "data";
    struct Case {
        std::string commandLine;
        std::uint32_t code;
    } cases[] = {
        {"", platform::ERROR_FILE_NOT_FOUND},
        {"   ", platform::ERROR_FILE_NOT_FOUND},
        {"/nonexistent/program arg", platform::ERROR_FILE_NOT_FOUND},
        {"no-such-program-anywhere", platform::ERROR_FILE_NOT_FOUND},
        {"\"" + plain + "\"", platform::ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_EQ(platform::startProgram(c.commandLine, true), c.code);
    }
}

TEST_F(GtkPrograms, ElevatedStartWaitsForTheAuthorisation)
{
    // Authorised: pkexec becomes the program, which gets the parameters split into arguments.
    fakeProgram("pkexec", "exec \"$@\"");
    EXPECT_EQ(platform::startElevated(echo, "\"x y\" z"), 0u);
    EXPECT_EQ(readFifo(fifo, kWaitMs), "[x y][z]");

    // Dismissed or not authorised (126), no agent or authentication failed (127).
    for (const char* exit : {"exit 126", "exit 127"}) {
        SCOPED_TRACE(exit);
        fakeProgram("pkexec", exit);
        EXPECT_EQ(platform::startElevated(echo, ""), platform::ERROR_CANCELLED);
    }

    fakeProgram("pkexec", "exec \"$@\"");
    EXPECT_EQ(platform::startElevated(home.root() + "/missing", ""), platform::ERROR_FILE_NOT_FOUND);
    setenv("PATH", (home.root() + "/empty").c_str(), 1);
    EXPECT_EQ(platform::startElevated(echo, ""), platform::ERROR_NOT_SUPPORTED);
}

TEST_F(GtkPrograms, OpenWithDesktopHandsTheTargetToXdgOpen)
{
    fakeProgram("xdg-open", "printf '[%s]' \"$@\" > \"$OUT\"");
    struct Case {
        std::string target;
        std::string opened;
    } cases[] = {
        {"/home/user/a document.txt", "[/home/user/a document.txt]"},
        {"http://127.0.0.1:8090/page?a=1", "[http://127.0.0.1:8090/page?a=1]"},
        // The old web browser by name means the default browser.
        {"iexplore.exe http://127.0.0.1:8090/install", "[http://127.0.0.1:8090/install]"},
        {"\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" http://127.0.0.1/", "[http://127.0.0.1/]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        ASSERT_EQ(platform::openWithDesktop(c.target), 0u);
        EXPECT_EQ(readFifo(fifo, kWaitMs), c.opened);
    }
    EXPECT_EQ(platform::openWithDesktop("iexplore.exe"), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(platform::openWithDesktop(""), platform::ERROR_INVALID_PARAMETER);
}

// ---------------------------------------------------------------------------------------------
// Services and signals

TEST_F(GtkServices, StartupServicesAndSigtermEndingTheLoop)
{
    EXPECT_TRUE(platform::initSocketSupport());
    EXPECT_TRUE(platform::startSockets(2, 2));
    EXPECT_EQ(platform::initComponentRuntime(), session->hasDisplay());
    EXPECT_EQ(platform::osMajorVersion(), 10);

    // A write to a closed socket reports EPIPE instead of ending the process.
    int pair[2];
    ASSERT_EQ(::pipe(pair), 0);
    ::close(pair[0]);
    EXPECT_EQ(::write(pair[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(pair[1]);

    Recorder window;
    ASSERT_TRUE(window.create(Rect{0, 0, 10, 10}));
    platform::setTimer(window.handle(), 1, 10);
    platform::setTimer(window.handle(), 2, kWaitMs);
    window.react = [&](const Recorder::Message& m) {
        if (m.message == platform::WM_TIMER && m.wParam == 1) {
            platform::killTimer(window.handle(), 1);
            ::kill(::getpid(), SIGTERM);
        } else if (m.message == platform::WM_TIMER) {
            platform::quit(99);
        }
    };
    EXPECT_EQ(platform::run(), 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The browser control on WebKitGTK

namespace {

constexpr char kPage[] =
    "<html><head><script src=\"res:/JS/#313\"></script><script>"
    "function sum(a, b) { return a + '|' + b; }"
    "function num() { return 5; }"
    "function boom() { throw new Error('no'); }"
    "window.external.other('ignored');"
    "window.external.jscommand('parameter', 'code');"
    "</script></head><body style=\"background:#00ff00\">page</body></html>";
constexpr char kScript[] = "var fromScript = 'script of the same module'; function scriptValue() { return fromScript; }";
const PlatformResource kWebEntries[] = {
    {"HTML", 311, reinterpret_cast<const unsigned char*>(kPage), sizeof kPage - 1},
    {"JS", 313, reinterpret_cast<const unsigned char*>(kScript), sizeof kScript - 1},
};
const PlatformResourceTable kWebTable{platform::kResourceTableVersion, 2, kWebEntries};

// `window.external` with one method, recording its calls.
class External : public platform::ExternalObject {
public:
    std::vector<std::vector<std::string>> calls;
    int memberId(std::string_view name) override { return name == "jscommand" ? 1 : platform::kUnknownMember; }
    void invoke(int, const std::vector<std::string>& arguments) override { calls.push_back(arguments); }
};

class GtkBrowser : public GtkDesktop {
protected:
    void SetUp() override
    {
        GtkDesktop::SetUp();
        if (IsSkipped())
            return;
        makeSession("gtk-smoke", &kWebTable);
    }
};

} // namespace

TEST_F(GtkBrowser, ServesResourcePagesBridgesWindowExternalAndCallsPageFunctionsInOrder)
{
    Recorder parent;
    ASSERT_TRUE(parent.create(Rect{40, 40, 360, 260}));
    platform::showWindow(parent.handle(), platform::Show::Show);
    platform::Browser browser;
    ASSERT_TRUE(browser.create(parent.handle(), 90001, Rect{0, 0, 320, 220}, true));
    External external;
    browser.setExternal(&external);

    std::vector<platform::CallResult> results;
    auto collect = [&](const platform::CallResult& r) { results.push_back(r); };
    browser.callFunction("sum", {"2", "1"}, collect);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, platform::CallStatus::NoDocument);
    results.clear();

    ASSERT_TRUE(browser.navigate("res://" + platform::modulePath() + "/311"));
    // Only the known member arrives, with the arguments in the engine's order.
    ASSERT_TRUE(waitFor([&] { return !external.calls.empty(); }));
    EXPECT_EQ(external.calls, (std::vector<std::vector<std::string>>{{"code", "parameter"}}));

    browser.callFunction("sum", {"2", "1"}, collect);   // entry 0 is the last argument: sum(1, 2)
    browser.callFunction("num", {}, collect);
    browser.callFunction("missing", {}, collect);
    browser.callFunction("boom", {}, collect);
    browser.callFunction("scriptValue", {}, collect);
    browser.callFunction("sum", {"\"\\\n\xE2\x80\xA8", "한글"}, collect);
    ASSERT_TRUE(waitFor([&] { return results.size() == 6; }));
    EXPECT_EQ(results[0].status, platform::CallStatus::Ok);
    EXPECT_EQ(results[0].text, "1|2");
    EXPECT_EQ(results[1].status, platform::CallStatus::Ok);
    EXPECT_EQ(results[1].text, std::nullopt);   // a number is not a text
    EXPECT_EQ(results[2].status, platform::CallStatus::NoFunction);
    EXPECT_EQ(results[3].status, platform::CallStatus::Threw);
    EXPECT_EQ(results[4].text, "script of the same module");
    EXPECT_EQ(results[5].text, "한글|\"\\\n\xE2\x80\xA8");
}

TEST_F(GtkBrowser, ACompletionNeverOutlivesItsBrowser)
{
    Recorder parent;
    ASSERT_TRUE(parent.create(Rect{40, 40, 360, 260}));
    auto browser = std::make_unique<platform::Browser>();
    ASSERT_TRUE(browser->create(parent.handle(), 90001, Rect{0, 0, 320, 220}, true));
    External external;
    browser->setExternal(&external);
    ASSERT_TRUE(browser->navigate("res://" + platform::modulePath() + "/311"));
    ASSERT_TRUE(waitFor([&] { return !external.calls.empty(); }));
    int completions = 0;
    browser->callFunction("sum", {"a", "b"}, [&](const platform::CallResult&) { ++completions; });
    browser.reset();
    session->pumpUntil([] { return false; }, 300);
    EXPECT_EQ(completions, 0);
}
