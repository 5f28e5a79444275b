#pragma once
// TCP over IPv4 with blocking calls, and an event object on which a worker thread waits for a
// socket's incoming bytes or its end while another thread can wake it.
//
// Failures leave a socket error code in lastError() (platform/errors.h): WSAECONNREFUSED,
// WSAECONNRESET, WSAEWOULDBLOCK and so on.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An IPv4 address in host byte order (127.0.0.1 is 0x7F000001).
using Ipv4Address = std::uint32_t;

// The address a dotted-decimal text "a.b.c.d" names; nothing for any other text.
std::optional<Ipv4Address> parseIpv4(std::string_view text);

// The first IPv4 address a host name resolves to, looked up with the system's resolver
// (blocking). Nothing, with WSAHOST_NOT_FOUND, when the name does not resolve.
std::optional<Ipv4Address> resolveIpv4(const std::string& hostName);

// A TCP/IPv4 stream socket, closed when the object goes.
//
// Threads: one thread creates, connects, sends on and closes the socket. While it is open one
// other thread may wait on it (SocketEvent) and receive from it; closing it must wait until that
// thread no longer does, since the system reuses the number of a closed socket at once.
class TcpSocket {
public:
    TcpSocket() = default;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;
    ~TcpSocket();

    // Creates the socket (closing one this object held). False when the system refuses.
    bool create();
    bool isOpen() const { return fd_ >= 0; }

    // Asks for a receive buffer of `bytes`; the system may grant less.
    bool setReceiveBufferSize(int bytes);

    // Connects to address:port and blocks until the connection stands or has failed.
    bool connect(Ipv4Address address, std::uint16_t port);

    // One send call: the number of bytes the system took (all of them unless a signal cut the
    // call short), or -1 on an error. A connection the peer has ended gives -1, not a signal.
    long send(const void* data, std::size_t size);

    // Reads what has arrived without waiting: the number of bytes read, 0 when the peer has ended
    // the stream, or -1 on an error (WSAEWOULDBLOCK when nothing has arrived yet).
    long receive(void* buffer, std::size_t size) const;

    void close();

private:
    friend class SocketEvent;
    int fd_ = -1;
};

// An event object for one waiting thread: it wakes when a socket has something to read (bytes,
// the end of the stream or an error) or when another thread signals it.
class SocketEvent {
public:
    // What a wait reports; both may come together.
    static constexpr unsigned kReadable = 1u << 0;
    static constexpr unsigned kSignalled = 1u << 1;

    SocketEvent();
    SocketEvent(const SocketEvent&) = delete;
    SocketEvent& operator=(const SocketEvent&) = delete;
    ~SocketEvent();

    // False when the system had no event object to give; such an event never waits.
    bool isValid() const { return fd_ >= 0; }

    // The waiting thread: blocks until `socket` is readable or signal() has been called since the
    // last wait, and reports which (the signal is consumed). 0 when the wait failed; the socket
    // is then unusable and lastError() says why.
    unsigned wait(const TcpSocket& socket);

    // Any thread: wakes the current wait, or the next one if no thread waits yet.
    void signal();

private:
    int fd_ = -1;
};

} // namespace platform
