#include "main_frame.h"

#include "launcher.h"
#include "orvane_app.h"
#include "platform/messages.h"

namespace {
constexpr const char* kFrameClass = "TackletMainFrame";
} // namespace

CMainFrame::CMainFrame(COrvaneApp& app) : m_app(app) {}

CMainFrame::~CMainFrame()
{
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
    return 0;
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
    default:
        return defaultHandling(message, wParam, lParam);
    }
}
