#pragma once
// The Tacklet main window: a borderless popup in the bottom-right corner of the screen that shows
// the main list page. Mostly hidden; the tray icon is what the user sees.
//
// The frame also owns the push connection: a blocking TCP socket that the GUI thread connects,
// logs in on and sends keep-alives on, a socket event thread per connection that moves received
// bytes into the receive queue, and the timers that connect, keep alive, dispatch and reconnect.
// It owns the note, viewer and packet windows it opens, acts on the packets the server sends,
// on the messages the pages post through the script bridge and on the tray icon and its menu.
// Every member function runs on the GUI thread unless it says otherwise.

#include "child_view.h"
#include "my_queue.h"
#include "packet.h"
#include "platform/socket.h"
#include "platform/window.h"
#include "tray_icon.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class COrvaneApp;
class CMyWebWnd;

// The frame's timers.
inline constexpr std::uintptr_t TIMER_CONNECT = 1000;
inline constexpr std::uintptr_t TIMER_KEEPALIVE = 1001;
inline constexpr std::uintptr_t TIMER_DISPATCH = 1002;
inline constexpr std::uintptr_t TIMER_RECONNECT = 1003;
inline constexpr std::uintptr_t TIMER_UPDATE = 1004;
inline constexpr std::uintptr_t TIMER_START_PAGE = 1005;
inline constexpr std::uintptr_t TIMER_NO_UPDATE = 1006;

// The view's identifier: the first pane of a frame.
inline constexpr int AFX_IDW_PANE_FIRST = 59648;
// The read viewer's serial number.
inline constexpr int kReadViewerSerial = 30000;

// The tray menu and its commands.
inline constexpr int IDR_TRAY_MENU = 314;
inline constexpr std::uint32_t ID_CLOSE_ALL_NOTES = 32777;
inline constexpr std::uint32_t ID_ALARM = 32779;
inline constexpr std::uint32_t ID_EXIT = 32780;
inline constexpr std::uint32_t ID_APP_ABOUT = 57664;
inline constexpr int IDD_ABOUTBOX = 100;

// The smallest size the user can give the frame.
inline constexpr int kMinFrameWidth = 430;
inline constexpr int kMinFrameHeight = 270;

inline constexpr std::uint32_t WM_TRAY_NOTIFY = 0x0400 + 1;
// Posted by a socket event thread when its peer has ended the connection; wParam is the
// connection's serial number, so a note about a connection already replaced is ignored.
inline constexpr std::uint32_t WM_SOCKET_CLOSED = 0x0400 + 0x100;

class CMainFrame : public platform::Window {
public:
    explicit CMainFrame(COrvaneApp& app);
    ~CMainFrame() override;

    // Creates the window at the corner position with the initial 100 x 100 size.
    bool Create();

    // The frame's rectangle in the bottom-right corner of the work area.
    platform::Rect CornerRect(int width, int height) const;

    // Connects to the push server named by IP and PORT in Orvane.ini (read at every attempt),
    // logs in and starts the connection's event thread. True when the TCP connection stands,
    // also when the login could not be sent. Blocks while the name is looked up and while
    // connecting. Whatever an earlier attempt left behind is closed first.
    bool Connect();
    // Sends the keep-alive packet; when that fails, closes the connection and makes the
    // reconnect timer try every 10 seconds.
    void KeepAlive();
    // Ends the connection for good, at exit: closes it, discards the received bytes and stops
    // the keep-alive and reconnect timers.
    void ShutdownConnection();
    bool IsConnected() const { return m_nConnected.load() != 0; }

    // Takes one packet popped from the receive queue and decodes it. Acting on its kind comes
    // with the windows and pages those actions need.
    void Dispatch(const char* bytes, std::size_t length);

    // Calls a function of the main list page; the result is not waited for.
    void CallPage(const std::string& name, const std::vector<std::string>& args);
    // startPage with CP (read from Orvane.ini now) and the page size, and the banner when asked.
    void CallStartPage(bool withBanner);

    // The open note, viewer and packet windows, in creation order.
    const std::vector<std::unique_ptr<CMyWebWnd>>& NoteWindows() const { return m_notes; }
    CChildView& View() { return m_view; }

    // Received bytes not dispatched yet.
    CMyQueue& ReceiveQueue() { return *m_pQueue; }

    int m_nWidth = 100;
    int m_nHeight = 100;
    int m_nPageSize = 5;
    std::string m_strBanner;
    int m_nNextSerial = 0;
    // The client version, sent with the login.
    std::string m_strVersion = "2.0";

protected:
    platform::LResult onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override;

private:
    // What a socket event thread works with. Created by the connect step, freed by the thread
    // itself when it ends.
    struct EventThreadRecord {
        CMainFrame* frame = nullptr;
        platform::Handle window = 0;        // where the thread posts WM_SOCKET_CLOSED
        unsigned serial = 0;                // the connection it serves
        const platform::TcpSocket* socket = nullptr;
        std::atomic<int> running{1};
        platform::SocketEvent event;
    };

    int OnCreate();
    // False when the timer message is to get no further handling.
    bool OnTimer(std::uintptr_t id);
    bool OnConnectTimer();
    void OnReconnectTimer();
    void OnDispatchTimer();
    void OnSocketClosed(unsigned serial);
    void OnUpdateTimer();
    void OnDispatchStep();
    void OnNoteClosed(int serial);
    void OnResourcesChanged();
    void BringForward();
    void OnReadExt(int row);
    void OnOpenPacket(Packet* packet);
    platform::LResult OnTrayNotify(platform::LParam lParam);
    void OnTrayMenu();
    bool OnCommand(std::uint32_t id);
    void OnCloseAllNotes();
    void OnSwitchAlarm();
    void OnExit();
    void OnSizing(platform::Rect& proposed);
    // The last note window with `serial`, or none.
    CMyWebWnd* FindNote(int serial) const;
    // A new note window owned by the desktop, appended to the list; none when it cannot be made.
    CMyWebWnd* AddNote(int serial);
    void DispatchVersion(const Packet& packet);
    void DispatchNote(const Packet& packet);
    void DispatchBanner(const Packet& packet);
    void DispatchCall(const Packet& packet);

    bool Login();
    long SendPacket(const Packet& packet);
    bool StartEventThread();
    // Wakes the event thread, if one runs, and waits until it has ended.
    void StopEventThread();
    // Clears connected and, when there is a socket, stops the keep-alive timer and releases it.
    void CloseConnection();
    // Clears connected, ends the event thread, closes the socket and drops the unfinished packet
    // from the queue.
    void ReleaseSocket();
    static void EventThreadMain(std::unique_ptr<EventThreadRecord> record);

    COrvaneApp& m_app;
    CTrayIcon m_trayIcon;
    std::vector<std::unique_ptr<CMyWebWnd>> m_notes;
    // Note windows asked to close by the close-all command, freed once their windows are gone.
    std::vector<std::unique_ptr<CMyWebWnd>> m_closing;

    // The connection. The socket is used by the GUI thread and, through its record, by the event
    // thread; it is closed only after that thread has ended, so the thread never sees it closed
    // or its number reused. The connected flag is written by both threads.
    platform::TcpSocket m_socket;
    std::mutex m_recordLock;                        // guards m_pThreadRecord
    EventThreadRecord* m_pThreadRecord = nullptr;   // owned by the running thread
    std::atomic<int> m_nConnected{0};
    std::thread m_eventThread;
    unsigned m_nConnectionSerial = 0;
    const std::unique_ptr<CMyQueue> m_pQueue;
    // Where each read lands before it is appended; only the event thread touches it.
    std::array<char, 1024> m_receiveArea{};

    // The main list view; its window is a child of the frame's and goes with it.
    CChildView m_view;
};
