#include "main_frame.h"

#include "launcher.h"
#include "orvane_app.h"
#include "platform/loop.h"
#include "platform/messages.h"

namespace {
constexpr const char* kFrameClass = "TackletMainFrame";
} // namespace

CMainFrame::CMainFrame(COrvaneApp& app) : m_app(app), m_pQueue(std::make_unique<CMyQueue>()) {}

CMainFrame::~CMainFrame()
{
    // The event thread uses this object; it ends before anything here goes.
    ReleaseSocket();
    // Destroy here, while the handler of this class can still see the window go.
    if (handle())
        platform::destroyWindow(handle());
}

platform::Rect CMainFrame::CornerRect(int width, int height) const
{
    platform::Rect area;
    GetWorkArea(area);
    return platform::Rect{area.right - width, area.bottom - height, area.right, area.bottom};
}

bool CMainFrame::Create()
{
    platform::CreateParams params;
    params.className = kFrameClass;
    params.style = platform::WS_POPUP | platform::WS_SYSMENU;
    params.rect = CornerRect(m_nWidth, m_nHeight);
    return platform::Window::create(params);
}

int CMainFrame::OnCreate()
{
    if (!m_trayIcon.Create(handle(), WM_TRAY_NOTIFY, "Tacklet V2.0"))
        return -1;
    m_trayIcon.SetProgramIcon();
    platform::setWindowText(handle(), "veruvev");
    platform::setTimer(handle(), TIMER_CONNECT, 100);
    platform::setTimer(handle(), TIMER_DISPATCH, 100);
    platform::setTimer(handle(), TIMER_RECONNECT, 300000);
    return 0;
}

void CMainFrame::OnTimer(std::uintptr_t id)
{
    switch (id) {
    case TIMER_CONNECT:
        OnConnectTimer();
        break;
    case TIMER_KEEPALIVE:
        KeepAlive();
        break;
    case TIMER_DISPATCH:
        OnDispatchTimer();
        break;
    case TIMER_RECONNECT:
        OnReconnectTimer();
        break;
    default:
        break;
    }
}

void CMainFrame::OnDispatchTimer()
{
    // At most four packets a tick; a burst waits in the queue for the next ones.
    for (int i = 0; i < 4; ++i) {
        const std::optional<std::string> packet = m_pQueue->Pop();
        if (!packet)
            break;
        Dispatch(packet->data(), packet->size());
    }
}

void CMainFrame::Dispatch(const char* bytes, std::size_t length)
{
    // Decoded per complete packet, so a character split across two reads arrives whole. What
    // each kind of packet does comes with the windows and pages it acts on.
    Packet packet;
    packet.FromUtf8(bytes, length);
}

platform::LResult CMainFrame::onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam)
{
    switch (message) {
    case platform::WM_CREATE:
        return OnCreate();
    case platform::WM_CLOSE:
        // Closing the main window only hides it; the program ends from the tray menu.
        platform::showWindow(handle(), platform::Show::Hide);
        return 0;
    case platform::WM_TIMER:
        OnTimer(wParam);
        return defaultHandling(message, wParam, lParam);
    case WM_SOCKET_CLOSED:
        OnSocketClosed(static_cast<unsigned>(wParam));
        return 0;
    default:
        return defaultHandling(message, wParam, lParam);
    }
}
