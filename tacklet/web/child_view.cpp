#include "child_view.h"

#include "orvane_app.h"
#include "packet.h"
#include "platform/loop.h"
#include "platform/messages.h"

namespace {
constexpr const char* kClassName = "TackletChildView";
} // namespace

CChildView::CChildView(COrvaneApp& app) : m_app(app) {}

CChildView::~CChildView()
{
    if (handle())
        platform::destroyWindow(handle());
}

bool CChildView::Create(platform::Handle parent, const platform::Rect& rect, int id)
{
    platform::CreateParams params;
    params.className = kClassName;
    params.style = platform::WS_CHILD | platform::WS_VISIBLE;
    params.rect = rect;
    params.parent = parent;
    params.controlId = id;
    return platform::Window::create(params);
}

int CChildView::OnCreate()
{
    if (!m_browser.Create(handle(), platform::clientRect(handle()), kBrowserId))
        return -1;
    m_browser.SetSilent(true);
    NavigateResource(m_browser, kMainListPage);
    platform::setTimer(handle(), kTopHeightTimer, kTopHeightDelayMs);
    return 0;
}

void CChildView::ReadTopHeight()
{
    platform::killTimer(handle(), kTopHeightTimer);
    // A page that is not ready, or answers with anything but a number text, turns dragging off
    // until the next reload.
    COrvaneApp& app = m_app;
    CallPageFunction(m_browser, "getTopHeight", {}, [&app](bool found, const std::string& text) {
        app.m_topBarHeight = found ? DecimalToInt(text) : 0;
    });
}

bool CChildView::preTranslateMessage(const platform::Message& message)
{
    if (message.message != platform::WM_LBUTTONDOWN)
        return false;
    const platform::Point at{platform::xFromLParam(message.lParam), platform::yFromLParam(message.lParam)};
    const platform::Point client = platform::screenToClient(handle(), platform::clientToScreen(message.window, at));
    if (client.y < m_app.m_topBarHeight)
        platform::post(m_app.MainWindow(), platform::WM_NCLBUTTONDOWN, platform::HTCAPTION,
                       platform::makeLParam(client.x, client.y));
    // The page still gets the click.
    return false;
}

platform::LResult CChildView::onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam)
{
    switch (message) {
    case platform::WM_CREATE:
        return OnCreate();
    case platform::WM_SIZE: {
        const auto size = static_cast<std::uintptr_t>(lParam);
        platform::setWindowPos(m_browser.handle(), platform::HWND_TOP, 0, 0, platform::loWord(size), platform::hiWord(size),
                               platform::SWP_NOMOVE | platform::SWP_NOACTIVATE);
        return 0;
    }
    case platform::WM_TIMER:
        if (wParam == kTopHeightTimer) {
            ReadTopHeight();
            return 0;
        }
        return defaultHandling(message, wParam, lParam);
    case platform::WM_ERASEBKGND:
        return 1;
    default:
        return defaultHandling(message, wParam, lParam);
    }
}
