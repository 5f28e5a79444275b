#include "my_web_wnd.h"

#include "launcher.h"
#include "orvane_app.h"
#include "platform/desktop.h"
#include "platform/loop.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "platform/sound.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr const char* kClassName = "Orvane-BrowserWnd";

enum Timer : std::uintptr_t {
    kPlaceTimer = 2500,        // placement, first hand-over and sound
    kCloseTimer = 2503,        // P-CLOSESEC ran out: the page is asked to close the window
    kRepeatTimer = 2504,       // the packet handed over again, for a page that was not ready
    kReadViewerTimer = 2505,   // placement of the read viewer
    kFadeTimer = 2506,         // one fade-in step
};
constexpr std::uint32_t kStepMs = 100;
constexpr std::uint32_t kRepeatMs = 1000;
// The longest timer the desktop keeps; a longer P-CLOSESEC waits this long.
constexpr std::int64_t kLongestTimerMs = 0x7FFFFFFF;

enum Kind : int {
    kAlarmBox = 2,
    kAlarmStrip = 3,
    kPageWindow = 9,
};

constexpr int kNotePage = 326;
constexpr int kAlarmBoxPage = 327;
constexpr int kAlarmStripPage = 345;
constexpr int kPageWindowPage = 346;
constexpr int kAlarmWidth = 237;
constexpr int kAlarmBoxHeight = 125;
constexpr int kAlarmStripHeight = 30;

constexpr int kNoteSound = 316;
constexpr int kAlarmSound = 351;

// The read viewer of a row packet that names no window kind is made room for the note page's
// header and margins around the packet's own size.
constexpr int kViewerExtraWidth = 15;
constexpr int kViewerExtraHeight = 86;

int PageOf(int kind)
{
    switch (kind) {
    case kAlarmBox:
        return kAlarmBoxPage;
    case kAlarmStrip:
        return kAlarmStripPage;
    case kPageWindow:
        return kPageWindowPage;
    default:
        return kNotePage;
    }
}

// Alerts are the program's own sounds, whatever resource library supplies the pages.
void PlayProgramSound(int id)
{
    if (const auto wave = platform::programModule().find("WAVE", id))
        platform::playSound(*wave);
}

// The alarm strip's outline: the client rectangle, 5 pixels in from the left and right, with a
// 5-pixel pointer in the middle of its lower edge.
platform::Region PointerRegion(const platform::Rect& client)
{
    const int l = client.left + 5, t = client.top, r = client.right - 5, b = client.bottom;
    const int c = l + (r - l) / 2;
    return platform::Region{{{l, t}, {l, b - 5}, {c - 5, b - 5}, {c, b}, {c + 5, b - 5}, {r, b - 5}, {r, t}, {l, t}}};
}

} // namespace

CMyWebWnd::CMyWebWnd(COrvaneApp& app) : m_app(app) {}

CMyWebWnd::~CMyWebWnd()
{
    if (handle())
        platform::destroyWindow(handle());
}

bool CMyWebWnd::Create(platform::Handle parent)
{
    platform::CreateParams params;
    params.className = kClassName;
    params.title = kClassName;
    params.style = platform::WS_POPUP;
    params.exStyle = platform::WS_EX_TOOLWINDOW;
    params.rect = {-1000, -1000, -500, -500};
    params.parent = parent;
    return platform::Window::create(params);
}

void CMyWebWnd::ShowPacket(const std::string& packet)
{
    m_pPacket = std::make_unique<Packet>(packet);
    NavigateResource(m_browser, PageOf(m_pPacket->GetTagInt("P-WND")));
    platform::setTimer(handle(), kPlaceTimer, kStepMs);
    platform::setWindowText(handle(), m_pPacket->GetTag("P-TIT"));
    const std::int64_t closeSeconds = m_pPacket->GetTagInt("P-CLOSESEC");
    if (closeSeconds > 0)
        platform::setTimer(handle(), kCloseTimer, static_cast<std::uint32_t>(std::min(closeSeconds * 1000, kLongestTimerMs)));
}

void CMyWebWnd::ShowReadPacket(const std::string& packet)
{
    if (m_pPacket)
        m_pPacket->SetText(packet);
    else
        m_pPacket = std::make_unique<Packet>(packet);
    NavigateResource(m_browser, kNotePage);
    platform::setTimer(handle(), kReadViewerTimer, kStepMs);
}

int CMyWebWnd::OnCreate()
{
    if (!m_browser.Create(handle(), platform::clientRect(handle()), kBrowserId))
        return -1;
    m_browser.SetSilent(true);
    // A layered window is not drawn before its opacity is first set: the popup stays unseen
    // until the first fade-in step.
    platform::setWindowExStyle(handle(), platform::windowExStyle(handle()) | platform::WS_EX_LAYERED);
    return 0;
}

void CMyWebWnd::OnSize()
{
    const platform::Rect client = platform::clientRect(handle());
    platform::setWindowPos(m_browser.handle(), platform::HWND_TOP, 0, 0, client.width(), client.height(),
                           platform::SWP_SHOWWINDOW | platform::SWP_NOREDRAW);
    if (m_pPacket && m_pPacket->GetTagInt("P-WND") == kAlarmStrip)
        platform::setWindowRegion(handle(), PointerRegion(client));
}

void CMyWebWnd::HandOverPacket()
{
    if (m_pPacket)
        CallPageFunction(m_browser, "setPacket", {m_pPacket->GetText(), std::to_string(m_nSerial)});
}

void CMyWebWnd::Place()
{
    platform::killTimer(handle(), kPlaceTimer);
    if (!m_pPacket)
        return;
    platform::Rect area;
    GetWorkArea(area);
    const int kind = m_pPacket->GetTagInt("P-WND");
    int width = m_pPacket->GetTagInt("P-WW");
    int height = m_pPacket->GetTagInt("P-HH");
    HandOverPacket();

    const bool alertsOn = platform::profileInt(kMainSettingsSection, "ALARM", 1, m_app.MainSettingsPath()) != 0;
    const int alert = m_pPacket->GetTagInt("P-ALM");
    if (alert == 2)
        PlayProgramSound(kNoteSound);
    const bool sound = alertsOn && alert > 0;

    int x = 0, y = 0;
    std::uint32_t flags = platform::SWP_SHOWWINDOW | platform::SWP_NOACTIVATE;
    if (kind == kPageWindow) {
        x = m_pPacket->GetTagInt("P-LEFT");
        y = m_pPacket->GetTagInt("P-TOP");
        flags = platform::SWP_SHOWWINDOW;
    } else {
        if (kind == kAlarmBox || kind == kAlarmStrip) {
            width = kAlarmWidth;
            height = kind == kAlarmBox ? kAlarmBoxHeight : kAlarmStripHeight;
            if (sound)
                PlayProgramSound(kAlarmSound);
        } else if (sound) {
            PlayProgramSound(kNoteSound);
        }
        x = area.right - width;
        y = area.bottom - height;
    }
    platform::setWindowPos(handle(), platform::HWND_TOPMOST, x, y, width, height, flags);
    platform::setTimer(handle(), kFadeTimer, kStepMs);
    platform::setTimer(handle(), kRepeatTimer, kRepeatMs);
}

void CMyWebWnd::PlaceReadViewer()
{
    platform::killTimer(handle(), kReadViewerTimer);
    if (!m_pPacket)
        return;
    // The read viewer appears at once, without a fade-in.
    m_layered.RemoveLayeredStyle(handle());
    const platform::Rect main = platform::windowRect(m_app.MainWindow());
    int height = m_pPacket->GetTagInt("P-HH");
    int width = m_pPacket->GetTagInt("P-WW");
    HandOverPacket();
    if (m_pPacket->GetTagInt("P-WND") < 1) {
        width += kViewerExtraWidth;
        height += kViewerExtraHeight;
    }
    // Left of the main window, bottom edges aligned; an ordinary window, not topmost.
    platform::setWindowPos(handle(), platform::HWND_TOP, main.left - width, main.bottom - height, width, height,
                           platform::SWP_SHOWWINDOW);
    platform::setTimer(handle(), kRepeatTimer, kRepeatMs);
}

void CMyWebWnd::FadeIn()
{
    if (m_nAlphaPercent > 100) {
        platform::killTimer(handle(), kFadeTimer);
        m_layered.RemoveLayeredStyle(handle());
        return;
    }
    // Where the display cannot fade, the popup is shown opaque at once.
    if (!m_layered.SetAlphaPercent(handle(), m_nAlphaPercent))
        m_layered.RemoveLayeredStyle(handle());
    m_nAlphaPercent += 9;
}

void CMyWebWnd::OnTimer(std::uintptr_t id)
{
    switch (id) {
    case kPlaceTimer:
        Place();
        break;
    case kCloseTimer:
        platform::killTimer(handle(), kCloseTimer);
        // The page answers with the close command for this window's serial number.
        CallPageFunction(m_browser, "onWebExit", {});
        break;
    case kRepeatTimer:
        platform::killTimer(handle(), kRepeatTimer);
        HandOverPacket();
        break;
    case kReadViewerTimer:
        PlaceReadViewer();
        break;
    case kFadeTimer:
        FadeIn();
        break;
    default:
        break;
    }
}

bool CMyWebWnd::preTranslateMessage(const platform::Message& message)
{
    if (message.message != platform::WM_LBUTTONDOWN || m_nSerial < kFirstViewerSerial)
        return false;
    const platform::Point at{platform::xFromLParam(message.lParam), platform::yFromLParam(message.lParam)};
    const platform::Point client = platform::screenToClient(handle(), platform::clientToScreen(message.window, at));
    if (client.y < m_nTitleHeight)
        platform::post(handle(), platform::WM_NCLBUTTONDOWN, platform::HTCAPTION, platform::makeLParam(client.x, client.y));
    // The page still gets the click.
    return false;
}

platform::LResult CMyWebWnd::onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam)
{
    switch (message) {
    case platform::WM_CREATE:
        return OnCreate();
    case platform::WM_SIZE:
        OnSize();
        return 0;
    case platform::WM_TIMER:
        OnTimer(wParam);
        return 0;
    case platform::WM_ERASEBKGND:
        return 1;
    case platform::WM_CLOSE:
        m_layered.RemoveLayeredStyle(handle());
        return defaultHandling(message, wParam, lParam);
    default:
        return defaultHandling(message, wParam, lParam);
    }
}
