#include "pushsim/push_server.h"

#include "pushsim/tacklet_framing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace pushsim {
namespace {

constexpr std::size_t kReadSize = 64 * 1024;

// A send to a client that stops reading must not hang the caller for ever.
constexpr timeval kSendTimeout{5, 0};

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

UniqueFd openListener(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return {};
    const int on = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return {};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return {};
    if (::listen(fd.get(), SOMAXCONN) != 0) return {};
    return fd;
}

std::uint16_t localPort(int fd) {
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) return 0;
    return ntohs(addr.sin_port);
}

}  // namespace

struct PushServer::State {
    struct Connection {
        // Null once the connection is closed. A sender works on a copy outside
        // the lock, so the descriptor cannot be closed and reused under it.
        std::shared_ptr<UniqueFd> socket;
        std::unique_ptr<FrameCutter> cutter;
        std::string received;
        bool peerClosed = false;
    };

    State(std::unique_ptr<Framing> f, Options o) : framing(std::move(f)), options(o) {}

    const std::unique_ptr<Framing> framing;
    const Options options;

    mutable std::mutex mutex;
    std::condition_variable changed;
    Observer observer;
    UniqueFd wake;  // wakes the server's thread when the set of sockets changes
    UniqueFd listener;
    std::uint64_t listenerGeneration = 0;
    std::uint16_t port = 0;
    std::vector<Connection> connections;
    std::deque<std::string> packets;
    std::uint64_t passes = 0;  // completed passes of the server's thread, for settle()
    bool stopping = false;
    std::thread thread;

    void run();
    void acceptLocked(std::vector<Event>& events);
    void readLocked(std::size_t index, std::vector<char>& buffer, std::vector<Event>& events);
    void closeLocked(std::size_t index, CloseReason reason, std::vector<Event>& events);
    void closeListenerLocked();
    void wakeLocked() const;
    void publish(std::unique_lock<std::mutex>& lock, const std::vector<Event>& events);
    std::optional<std::size_t> newestLocked() const;
    bool sendBytes(std::optional<std::size_t> connection, std::string_view bytes);
};

// The server's thread. It polls without the lock and does every accept and
// read with it held, on non-blocking calls, after checking that the socket it
// polled is still the one in use: the API may close a socket at any time.
void PushServer::State::run() {
    std::vector<char> buffer(kReadSize);
    std::vector<pollfd> fds;
    std::vector<std::size_t> owners;  // connection polled by fds[firstConnection + k]
    std::unique_lock lock(mutex);
    while (!stopping) {
        fds.assign(1, pollfd{wake.get(), POLLIN, 0});
        const bool pollsListener = static_cast<bool>(listener);
        if (pollsListener) fds.push_back(pollfd{listener.get(), POLLIN, 0});
        const std::uint64_t generation = listenerGeneration;
        const std::size_t firstConnection = fds.size();
        owners.clear();
        for (std::size_t i = 0; i < connections.size(); ++i) {
            if (!connections[i].socket) continue;
            fds.push_back(pollfd{connections[i].socket->get(), POLLIN, 0});
            owners.push_back(i);
        }

        lock.unlock();
        const int ready = ::poll(fds.data(), fds.size(), -1);
        const int pollError = errno;
        lock.lock();
        if (ready < 0) {
            if (pollError == EINTR) continue;
            break;
        }

        std::vector<Event> events;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wake.get(), &count, sizeof count);
        }
        if (pollsListener && fds[1].revents != 0 && generation == listenerGeneration && listener) {
            acceptLocked(events);
        }
        for (std::size_t k = 0; k < owners.size(); ++k) {
            if (fds[firstConnection + k].revents == 0) continue;
            if (!connections[owners[k]].socket) continue;  // closed while polling
            readLocked(owners[k], buffer, events);
        }
        publish(lock, events);
        ++passes;
        changed.notify_all();
    }
}

void PushServer::State::acceptLocked(std::vector<Event>& events) {
    for (;;) {
        const int fd = ::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN: nothing more pending
        }
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kSendTimeout, sizeof kSendTimeout);
        Connection connection;
        connection.socket = std::make_shared<UniqueFd>(fd);
        connection.cutter = framing->newCutter();
        connections.push_back(std::move(connection));
        events.push_back(Event{Event::Kind::Connected, connections.size() - 1, {}});
    }
}

void PushServer::State::readLocked(std::size_t index, std::vector<char>& buffer,
                                   std::vector<Event>& events) {
    Connection& connection = connections[index];
    const ssize_t n = ::recv(connection.socket->get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        // End of stream or a reset: either way the client is gone.
        connection.peerClosed = true;
        connection.socket.reset();
        events.push_back(Event{Event::Kind::Closed, index, {}, CloseReason::Peer});
        return;
    }
    const auto count = static_cast<std::size_t>(n);
    if (connection.received.size() + count > options.maxConnectionBytes) {
        closeLocked(index, CloseReason::Overflow, events);
        return;
    }
    const std::string_view bytes(buffer.data(), count);
    connection.received.append(bytes);
    for (std::string& frame : connection.cutter->cut(bytes)) {
        events.push_back(Event{Event::Kind::Packet, index, frame});
        packets.push_back(std::move(frame));
    }
}

void PushServer::State::closeLocked(std::size_t index, CloseReason reason,
                                    std::vector<Event>& events) {
    Connection& connection = connections[index];
    // Shut down before letting go: a sender may still hold the descriptor,
    // and the client must see the end of the stream now, not after its send.
    ::shutdown(connection.socket->get(), SHUT_RDWR);
    connection.socket.reset();
    events.push_back(Event{Event::Kind::Closed, index, {}, reason});
    wakeLocked();
}

void PushServer::State::closeListenerLocked() {
    if (!listener) return;
    // While the server's thread sleeps in poll() the kernel holds its own
    // reference to the socket, so close() alone would leave it listening,
    // completing handshakes, until poll() returns. Shutting it down refuses
    // connects at once.
    ::shutdown(listener.get(), SHUT_RDWR);
    listener.reset();
    ++listenerGeneration;
    wakeLocked();
}

void PushServer::State::wakeLocked() const {
    if (!wake) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake.get(), &one, sizeof one);
}

void PushServer::State::publish(std::unique_lock<std::mutex>& lock,
                                const std::vector<Event>& events) {
    if (events.empty()) return;
    const Observer current = observer;
    lock.unlock();
    if (current) {
        for (const Event& event : events) current(event);
    }
    changed.notify_all();
    lock.lock();
}

std::optional<std::size_t> PushServer::State::newestLocked() const {
    if (connections.empty()) return std::nullopt;
    return connections.size() - 1;
}

bool PushServer::State::sendBytes(std::optional<std::size_t> connection, std::string_view bytes) {
    std::shared_ptr<UniqueFd> socket;
    {
        std::lock_guard lock(mutex);
        const std::optional<std::size_t> index = connection ? connection : newestLocked();
        if (!index || *index >= connections.size()) return false;
        socket = connections[*index].socket;
    }
    if (!socket) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket->get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

PushServer::PushServer(std::unique_ptr<Framing> framing, Options options)
    : state_(std::make_unique<State>(std::move(framing), options)) {}

PushServer::PushServer(std::unique_ptr<Framing> framing)
    : PushServer(std::move(framing), Options{}) {}

PushServer::PushServer() : PushServer(std::make_unique<TackletFraming>()) {}

PushServer::~PushServer() { stop(); }

bool PushServer::listen(std::uint16_t port) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.thread.joinable() || s.stopping) return false;
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) return false;
    UniqueFd listener = openListener(port);
    if (!listener) return false;
    s.port = localPort(listener.get());
    s.listener = std::move(listener);
    s.wake = std::move(wake);
    s.thread = std::thread([&s] { s.run(); });
    return true;
}

std::uint16_t PushServer::port() const {
    std::lock_guard lock(state_->mutex);
    return state_->port;
}

void PushServer::stopAccepting() {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.closeListenerLocked();
}

bool PushServer::resumeAccepting() {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (!s.thread.joinable() || s.stopping) return false;
    if (s.listener) return true;
    UniqueFd listener = openListener(s.port);
    if (!listener) return false;
    s.listener = std::move(listener);
    ++s.listenerGeneration;
    s.wakeLocked();
    return true;
}

void PushServer::stop() {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    s.stopping = true;
    s.wakeLocked();
    std::thread thread = std::move(s.thread);
    lock.unlock();
    if (thread.joinable()) thread.join();
    lock.lock();
    s.closeListenerLocked();
    std::vector<Event> events;
    for (std::size_t i = 0; i < s.connections.size(); ++i) {
        if (s.connections[i].socket) s.closeLocked(i, CloseReason::Server, events);
    }
    s.publish(lock, events);
}

void PushServer::setObserver(Observer observer) {
    std::lock_guard lock(state_->mutex);
    state_->observer = std::move(observer);
}

std::size_t PushServer::acceptedCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->connections.size();
}

std::size_t PushServer::openCount() const {
    std::lock_guard lock(state_->mutex);
    std::size_t open = 0;
    for (const State::Connection& connection : state_->connections) {
        if (connection.socket) ++open;
    }
    return open;
}

bool PushServer::waitForConnections(std::size_t count, std::chrono::milliseconds timeout) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, timeout, [&] { return s.connections.size() >= count; });
}

std::optional<std::string> PushServer::nextPacket(std::chrono::milliseconds timeout) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (!s.changed.wait_for(lock, timeout, [&] { return !s.packets.empty(); })) return std::nullopt;
    std::string packet = std::move(s.packets.front());
    s.packets.pop_front();
    return packet;
}

std::string PushServer::receivedBytes(std::size_t connection) const {
    std::lock_guard lock(state_->mutex);
    return state_->connections.at(connection).received;
}

bool PushServer::send(std::string_view text) {
    return state_->sendBytes(std::nullopt, state_->framing->encode(text));
}

bool PushServer::sendTo(std::size_t connection, std::string_view text) {
    return state_->sendBytes(connection, state_->framing->encode(text));
}

bool PushServer::sendRaw(std::string_view bytes) {
    return state_->sendBytes(std::nullopt, bytes);
}

bool PushServer::closeClient() {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    const std::optional<std::size_t> newest = s.newestLocked();
    if (!newest || !s.connections[*newest].socket) return false;
    std::vector<Event> events;
    s.closeLocked(*newest, CloseReason::Server, events);
    s.publish(lock, events);
    return true;
}

void PushServer::closeAll() {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    std::vector<Event> events;
    for (std::size_t i = 0; i < s.connections.size(); ++i) {
        if (s.connections[i].socket) s.closeLocked(i, CloseReason::Server, events);
    }
    s.publish(lock, events);
}

bool PushServer::waitForPeerClose(std::chrono::milliseconds timeout) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    const std::optional<std::size_t> newest = s.newestLocked();
    if (!newest) return false;
    return s.changed.wait_for(lock, timeout, [&] { return s.connections[*newest].peerClosed; });
}

bool PushServer::settle(std::chrono::milliseconds timeout) {
    State& s = *state_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(s.mutex);
    if (!s.thread.joinable() || s.stopping) return false;
    // The pass under way when the call came may have polled before the
    // client's bytes arrived; the one after it began after the call.
    const std::uint64_t start = s.passes;
    for (std::uint64_t k = 1; k <= 2; ++k) {
        s.wakeLocked();
        if (!s.changed.wait_until(lock, deadline,
                                  [&] { return s.passes >= start + k || s.stopping; })) {
            return false;
        }
    }
    return !s.stopping;
}

}  // namespace pushsim
