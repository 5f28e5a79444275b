// The frame's push connection: connect, login, keep-alive, the connection timers and the socket
// event thread.
//
// Shared between the GUI thread and the event thread, and how:
// - the receive queue locks itself;
// - the connected flag is atomic;
// - the socket is only read by the event thread, and the GUI thread closes or replaces it only
//   after that thread has ended (StopEventThread joins it), so no descriptor is closed or reused
//   under a waiting thread;
// - the record pointer is guarded by m_recordLock: the thread clears it under the lock before it
//   frees its record, so the GUI thread never signals a record that is gone;
// - the receive area is the event thread's alone, and one event thread runs at a time.
// The event thread never touches timers or windows: when its peer ends the connection it clears
// the connected flag and posts WM_SOCKET_CLOSED, and the GUI thread does the rest.

#include "main_frame.h"

#include "framing.h"
#include "orvane_app.h"
#include "platform/errors.h"
#include "platform/loop.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/thread.h"

#include <optional>
#include <system_error>

namespace {

constexpr int kDefaultPort = 3000;
constexpr int kReceiveBufferSize = 4194304;
constexpr std::size_t kMaxHostLength = 255;
constexpr std::uint32_t kKeepAlivePeriod = 60000;
constexpr std::uint32_t kConnectRetryPeriod = 5000;
constexpr std::uint32_t kReconnectPeriodAfterFailure = 10000;
constexpr std::uint32_t kStartPageDelay = 1000;

// A dotted address is used as it is; anything else is a host name, resolved to its first IPv4
// address. The resolver gets the name in the locale's character set.
std::optional<platform::Ipv4Address> ResolveHost(const std::string& host)
{
    const std::optional<std::string> narrow = platform::toLocaleCharset(host);
    if (!narrow)
        return std::nullopt;
    if (const auto address = platform::parseIpv4(*narrow))
        return address;
    return platform::resolveIpv4(*narrow);
}

} // namespace

bool CMainFrame::Connect()
{
    // A connection an earlier attempt left behind goes first. Its keep-alive timer is left to
    // the caller, which restarts it on success.
    ReleaseSocket();

    const std::string& settings = m_app.MainSettingsPath();
    const std::string host =
        platform::profileString(kMainSettingsSection, "IP", TACKLET_PUSH_HOST, kMaxHostLength, settings);
    const int port = platform::profileInt(kMainSettingsSection, "PORT", kDefaultPort, settings);

    if (!m_socket.create())
        return false;
    m_socket.setReceiveBufferSize(kReceiveBufferSize);
    const std::optional<platform::Ipv4Address> address = ResolveHost(host);
    // A port outside the 16-bit range would otherwise be cut down to some other port.
    if (!address || port <= 0 || port > 65535) {
        m_socket.close();
        platform::setLastError(platform::WSAEINVAL);
        return false;
    }
    if (!m_socket.connect(*address, static_cast<std::uint16_t>(port))) {
        m_socket.close();
        return false;
    }

    ++m_nConnectionSerial;
    m_nConnected.store(1);
    // Without a login the connection stands but is useless: the login's failed send has cleared
    // connected, and the reconnect timer replaces the connection at its next tick.
    if (Login() && !StartEventThread()) {
        // Nothing received would ever be read; let the timers try again.
        ReleaseSocket();
        return false;
    }
    return true;
}

bool CMainFrame::Login()
{
    const std::string& settings = m_app.MainSettingsPath();
    Packet login(PKT_LOGIN);
    login.AddTagInt("P-ID", platform::profileInt(kMainSettingsSection, "ID", 0, settings));
    login.AddTagInt("P-CP", platform::profileInt(kMainSettingsSection, "CP", 5, settings));
    login.AddTagInt("P-REF", platform::profileInt(kMainSettingsSection, "REF", 0, settings));
    login.AddTag("P-VER", m_strVersion);
    return SendPacket(login) != -1;
}

long CMainFrame::SendPacket(const Packet& packet) { return SendFrame(m_socket, m_nConnected, packet); }

void CMainFrame::KeepAlive()
{
    if (SendPacket(Packet(PKT_PING)) >= 0)
        return;
    CloseConnection();
    platform::setTimer(handle(), TIMER_RECONNECT, kReconnectPeriodAfterFailure);
}

void CMainFrame::ShutdownConnection()
{
    CloseConnection();
    m_pQueue->Clear();
    platform::killTimer(handle(), TIMER_RECONNECT);
    platform::killTimer(handle(), TIMER_KEEPALIVE);
}

void CMainFrame::CloseConnection()
{
    m_nConnected.store(0);
    if (!m_socket.isOpen())
        return;
    platform::killTimer(handle(), TIMER_KEEPALIVE);
    ReleaseSocket();
}

void CMainFrame::ReleaseSocket()
{
    m_nConnected.store(0);
    StopEventThread();
    m_socket.close();
    // Complete packets stay to be dispatched; the start of one that will never end must not
    // run into the next connection's bytes.
    m_pQueue->DropIncomplete();
}

bool CMainFrame::OnConnectTimer()
{
    platform::killTimer(handle(), TIMER_CONNECT);
    platform::showWindow(handle(), platform::Show::Hide);
    if (!Connect()) {
        platform::setTimer(handle(), TIMER_CONNECT, kConnectRetryPeriod);
        return false;
    }
    platform::setTimer(handle(), TIMER_KEEPALIVE, kKeepAlivePeriod);
    CallStartPage(false);
    platform::setTimer(handle(), TIMER_START_PAGE, kStartPageDelay);
    return true;
}

void CMainFrame::OnReconnectTimer()
{
    if (IsConnected())
        return;
    if (Connect())
        platform::setTimer(handle(), TIMER_KEEPALIVE, kKeepAlivePeriod);
}

void CMainFrame::OnSocketClosed(unsigned serial)
{
    // The note may arrive after this side has closed or replaced that connection itself.
    if (serial != m_nConnectionSerial || !m_socket.isOpen())
        return;
    CloseConnection();
}

// ---------------------------------------------------------------------------------------------
// The socket event thread

bool CMainFrame::StartEventThread()
{
    auto record = std::make_unique<EventThreadRecord>();
    if (!record->event.isValid())
        return false;
    record->frame = this;
    record->window = handle();
    record->serial = m_nConnectionSerial;
    record->socket = &m_socket;
    {
        std::lock_guard lock(m_recordLock);
        m_pThreadRecord = record.get();
    }
    try {
        m_eventThread = std::thread(&CMainFrame::EventThreadMain, std::move(record));
    } catch (const std::system_error&) {
        // The record went with the thread that could not be started.
        std::lock_guard lock(m_recordLock);
        m_pThreadRecord = nullptr;
        return false;
    }
    return true;
}

void CMainFrame::StopEventThread()
{
    {
        std::lock_guard lock(m_recordLock);
        if (m_pThreadRecord) {
            m_pThreadRecord->running.store(0);
            m_pThreadRecord->event.signal();
        }
    }
    if (m_eventThread.joinable())
        m_eventThread.join();
}

void CMainFrame::EventThreadMain(std::unique_ptr<EventThreadRecord> record)
{
    platform::raiseThreadPriority();
    CMainFrame& frame = *record->frame;
    const platform::TcpSocket& socket = *record->socket;

    while (record->running.load()) {
        const unsigned events = record->event.wait(socket);
        if (!record->running.load())
            break;
        // A failed wait means the socket is unusable: that ends the connection as the peer's
        // close does, rather than waiting on it again and failing at once, for ever.
        bool ended = events == 0;
        if (events & platform::SocketEvent::kReadable) {
            // Bytes come out of the socket before its end does, so whatever the peer sent just
            // before it closed is appended before the close is reported.
            const long count = socket.receive(frame.m_receiveArea.data(), frame.m_receiveArea.size());
            if (count > 0)
                frame.m_pQueue->Append(frame.m_receiveArea.data(), static_cast<std::size_t>(count));
            else if (count == 0 || platform::lastError() != platform::WSAEWOULDBLOCK)
                ended = true;
        }
        if (ended) {
            frame.m_nConnected.store(0);
            platform::post(record->window, WM_SOCKET_CLOSED, record->serial);
            break;
        }
    }

    {
        std::lock_guard lock(frame.m_recordLock);
        if (frame.m_pThreadRecord == record.get())
            frame.m_pThreadRecord = nullptr;
    }
    // Frees the record and closes its event object.
    record.reset();
}
