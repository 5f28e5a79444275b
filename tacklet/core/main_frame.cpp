#include "main_frame.h"

#include "imp_idispatch.h"
#include "launcher.h"
#include "my_web_wnd.h"
#include "orvane_app.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/loop.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "updater_wnd.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>

namespace {
constexpr const char* kFrameClass = "TackletMainFrame";
constexpr std::uint32_t kDispatchPeriod = 100;
constexpr std::uint32_t kFirstConnectDelay = 100;
constexpr std::uint32_t kReconnectPeriod = 300000;
constexpr std::uint32_t kStartPageDelay = 1000;
// Posted behind the close requests of the close-all command: by the time it arrives, the note
// windows asked to close have handled their requests.
constexpr std::uint32_t WM_FREE_CLOSED_NOTES = 0x0400 + 0x101;

constexpr std::uint32_t kMouseMessageMask = 0xFFFF;
} // namespace

CMainFrame::CMainFrame(COrvaneApp& app)
    : m_app(app), m_pQueue(std::make_unique<CMyQueue>()), m_view(app)
{
}

CMainFrame::~CMainFrame()
{
    // The event thread uses this object; it ends before anything here goes.
    ReleaseSocket();
    // The notes are the desktop's windows, not children of the frame: they go explicitly.
    m_notes.clear();
    m_closing.clear();
    // A frame that goes without the exit command takes its icon along too.
    if (handle()) {
        m_trayIcon.Remove();
        platform::destroyWindow(handle());
    }
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
    const platform::Rect client = platform::clientRect(handle());
    if (!m_view.Create(handle(), client, AFX_IDW_PANE_FIRST))
        return -1;
    if (!m_trayIcon.Create(handle(), WM_TRAY_NOTIFY, "Tacklet V2.0"))
        return -1;
    m_trayIcon.SetProgramIcon();
    platform::setWindowText(handle(), "veruvev");
    platform::setTimer(handle(), TIMER_CONNECT, kFirstConnectDelay);
    platform::setTimer(handle(), TIMER_DISPATCH, kDispatchPeriod);
    platform::setTimer(handle(), TIMER_RECONNECT, kReconnectPeriod);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Page calls

void CMainFrame::CallPage(const std::string& name, const std::vector<std::string>& args)
{
    CallPageFunction(m_view.m_browser, name, args);
}

void CMainFrame::CallStartPage(bool withBanner)
{
    const int cp = platform::profileInt(kMainSettingsSection, "CP", 5, m_app.MainSettingsPath());
    std::vector<std::string> args{std::to_string(cp), std::to_string(m_nPageSize)};
    if (withBanner)
        args.push_back(m_strBanner);
    CallPage("startPage", args);
}

// ---------------------------------------------------------------------------------------------
// Timers

bool CMainFrame::OnTimer(std::uintptr_t id)
{
    switch (id) {
    case TIMER_CONNECT:
        return OnConnectTimer();
    case TIMER_KEEPALIVE:
        KeepAlive();
        break;
    case TIMER_DISPATCH:
        OnDispatchTimer();
        break;
    case TIMER_RECONNECT:
        OnReconnectTimer();
        break;
    case TIMER_UPDATE:
        OnUpdateTimer();
        break;
    case TIMER_START_PAGE:
        platform::killTimer(handle(), TIMER_START_PAGE);
        CallStartPage(true);
        break;
    case TIMER_NO_UPDATE:
        // Only marks that the version was current.
        platform::killTimer(handle(), TIMER_NO_UPDATE);
        break;
    default:
        break;
    }
    return true;
}

void CMainFrame::OnDispatchTimer()
{
    try {
        OnDispatchStep();
    } catch (const std::exception&) {
        // What is still queued waits for the next tick.
        platform::messageBox(handle(), "ERROR", platform::loadString(IDS_APP_TITLE), platform::Buttons::Ok);
    }
}

void CMainFrame::OnDispatchStep()
{
    // At most four packets a tick; a burst waits in the queue for the next ones.
    for (int i = 0; i < 4; ++i) {
        const std::optional<std::string> packet = m_pQueue->Pop();
        if (!packet)
            break;
        Dispatch(packet->data(), packet->size());
    }
}

void CMainFrame::OnUpdateTimer()
{
    platform::killTimer(handle(), TIMER_UPDATE);
    // The run blocks the GUI thread until it is over.
    CUpdaterWnd updater(m_app);
    updater.Update(UpdateInstructionUrl());
}

// ---------------------------------------------------------------------------------------------
// Note windows

CMyWebWnd* CMainFrame::FindNote(int serial) const
{
    const auto found = std::find_if(m_notes.rbegin(), m_notes.rend(),
                                    [serial](const auto& note) { return note->m_nSerial == serial; });
    return found == m_notes.rend() ? nullptr : found->get();
}

CMyWebWnd* CMainFrame::AddNote(int serial)
{
    auto note = std::make_unique<CMyWebWnd>(m_app);
    if (!note->Create(platform::desktopWindow()))
        return nullptr;
    note->m_nSerial = serial;
    m_notes.push_back(std::move(note));
    return m_notes.back().get();
}

void CMainFrame::OnNoteClosed(int serial)
{
    const auto found = std::find_if(m_notes.begin(), m_notes.end(),
                                    [serial](const auto& note) { return note->m_nSerial == serial; });
    if (found != m_notes.end())
        m_notes.erase(found);   // the object destroys its window
}

void CMainFrame::OnResourcesChanged()
{
    NavigateResource(m_view.m_browser, CChildView::kMainListPage);
    platform::setTimer(m_view.handle(), CChildView::kTopHeightTimer, CChildView::kTopHeightDelayMs);
    CallStartPage(false);
    platform::setTimer(handle(), TIMER_START_PAGE, kStartPageDelay);
}

void CMainFrame::BringForward()
{
    if (platform::isVisible(handle())) {
        if (platform::isMinimized(handle()))
            platform::showWindow(handle(), platform::Show::Restore);
        platform::showWindow(handle(), platform::Show::Show);
        platform::setForegroundWindow(handle());
        // Every window of the program runs on this one thread, whose input needs no attaching.
        platform::setWindowPos(handle(), platform::HWND_TOP, 0, 0, 0, 0, platform::SWP_NOMOVE | platform::SWP_NOSIZE);
        platform::setForegroundWindow(handle());
    }
    // A hidden frame is shown without taking the keyboard from the user's window.
    const platform::Rect corner = CornerRect(m_nWidth, m_nHeight);
    platform::setWindowPos(handle(), platform::HWND_TOP, corner.left, corner.top, 0, 0,
                           platform::SWP_NOSIZE | platform::SWP_SHOWWINDOW | platform::SWP_NOACTIVATE);
}

void CMainFrame::OnReadExt(int row)
{
    CMainFrame* self = this;
    CallPageFunction(m_view.m_browser, "getPacket", {std::to_string(row)},
                     [self](bool, const std::string& text) {
                         if (text.empty())
                             return;
                         CMyWebWnd* viewer = self->FindNote(kReadViewerSerial);
                         if (!viewer)
                             viewer = self->AddNote(kReadViewerSerial);
                         if (viewer)
                             viewer->ShowReadPacket(text);
                     });
}

void CMainFrame::OnOpenPacket(Packet* posted)
{
    const std::unique_ptr<Packet> packet(posted);
    if (!packet)
        return;
    const int serial = packet->GetTagInt("IDX", 0);
    CMyWebWnd* window = FindNote(serial);
    if (!window) {
        window = AddNote(serial);
        if (!window)
            return;
        window->ShowPacket(packet->GetText());
    }
    platform::setWindowPos(window->handle(), platform::HWND_TOP, 0, 0, 0, 0,
                           platform::SWP_NOMOVE | platform::SWP_NOSIZE | platform::SWP_SHOWWINDOW);
}

// ---------------------------------------------------------------------------------------------
// The tray icon and its menu

platform::LResult CMainFrame::OnTrayNotify(platform::LParam lParam)
{
    switch (static_cast<std::uint32_t>(lParam) & kMouseMessageMask) {
    case platform::WM_LBUTTONDBLCLK:
        platform::showWindow(handle(), platform::Show::Normal);
        platform::setForegroundWindow(handle());
        break;
    case platform::WM_LBUTTONUP:
        platform::showWindow(handle(), platform::Show::Normal);
        break;
    case platform::WM_RBUTTONUP:
        OnTrayMenu();
        break;
    default:
        break;
    }
    return 1;
}

void CMainFrame::OnTrayMenu()
{
    platform::setForegroundWindow(handle());
    const platform::Point at = platform::cursorPos();
    std::optional<platform::Menu> menu = platform::loadMenu(IDR_TRAY_MENU);
    if (!menu)
        return;
    platform::checkMenuItem(*menu, ID_ALARM, m_app.m_alarm == 1);
    platform::trackPopupMenu(*menu, at, handle());
}

bool CMainFrame::OnCommand(std::uint32_t id)
{
    switch (id) {
    case ID_CLOSE_ALL_NOTES:
        OnCloseAllNotes();
        return true;
    case ID_ALARM:
        OnSwitchAlarm();
        return true;
    case ID_EXIT:
        OnExit();
        return true;
    case ID_APP_ABOUT:
        m_app.OnAppAbout();
        return true;
    default:
        return false;
    }
}

void CMainFrame::OnCloseAllNotes()
{
    for (const auto& note : m_notes)
        platform::post(note->handle(), platform::WM_CLOSE);
    std::move(m_notes.begin(), m_notes.end(), std::back_inserter(m_closing));
    m_notes.clear();
    platform::post(handle(), WM_FREE_CLOSED_NOTES);
}

void CMainFrame::OnSwitchAlarm()
{
    m_app.m_alarm = m_app.m_alarm == 1 ? 0 : 1;
    platform::writeProfileString(kMainSettingsSection, "ALARM", m_app.m_alarm == 1 ? "1" : "0",
                                 m_app.MainSettingsPath());
}

void CMainFrame::OnExit()
{
    if (platform::messageBox(handle(), "Tacklet를 종료 하시겠습니까?", platform::loadString(IDS_APP_TITLE),
                             platform::Buttons::YesNo) != platform::IDYES)
        return;
    ShutdownConnection();
    m_trayIcon.Remove();
    // Closing the frame ends the program: the main window is gone, and so is the loop.
    platform::destroyWindow(handle());
    platform::quit(0);
}

void CMainFrame::OnSizing(platform::Rect& proposed)
{
    if (proposed.right - proposed.left < kMinFrameWidth || proposed.bottom - proposed.top < kMinFrameHeight)
        proposed = platform::windowRect(handle());
}

// ---------------------------------------------------------------------------------------------

platform::LResult CMainFrame::onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam)
{
    switch (message) {
    case platform::WM_CREATE:
        return OnCreate();
    case platform::WM_CLOSE:
        // Closing the main window only hides it; the program ends from the tray menu.
        platform::showWindow(handle(), platform::Show::Hide);
        return 0;
    case platform::WM_SETFOCUS:
        platform::setFocus(m_view.handle());
        return 0;
    case platform::WM_SIZE:
        platform::moveWindow(m_view.handle(), platform::clientRect(handle()));
        return defaultHandling(message, wParam, lParam);
    case platform::WM_SIZING:
        if (lParam)
            OnSizing(*reinterpret_cast<platform::Rect*>(lParam));
        return 1;
    case platform::WM_COMMAND:
        // The view has the first say on every command.
        if (m_view.handle() && platform::send(m_view.handle(), message, wParam, lParam) != 0)
            return 0;
        if (OnCommand(static_cast<std::uint32_t>(wParam & 0xFFFF)))
            return 0;
        return defaultHandling(message, wParam, lParam);
    case platform::WM_TIMER:
        if (!OnTimer(wParam))
            return 0;
        return defaultHandling(message, wParam, lParam);
    case WM_SOCKET_CLOSED:
        OnSocketClosed(static_cast<unsigned>(wParam));
        return 0;
    case WM_TRAY_NOTIFY:
        return OnTrayNotify(lParam);
    case WM_NOTE_CLOSED:
        OnNoteClosed(static_cast<int>(static_cast<std::intptr_t>(wParam)));
        break;
    case WM_RESOURCES_CHANGED:
        OnResourcesChanged();
        break;
    case WM_PAGE:
        break;
    case WM_SHOW_MAIN:
        CallPage("setView", {std::to_string(static_cast<int>(static_cast<std::intptr_t>(wParam)))});
        BringForward();
        break;
    case WM_READ_EXT:
        OnReadExt(static_cast<int>(static_cast<std::intptr_t>(wParam)));
        break;
    case WM_OPEN_PACKET:
        OnOpenPacket(reinterpret_cast<Packet*>(wParam));
        break;
    case WM_FREE_CLOSED_NOTES:
        std::erase_if(m_closing, [](const auto& note) { return note->handle() == 0; });
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}
