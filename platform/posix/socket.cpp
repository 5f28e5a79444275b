#include "platform/socket.h"

#include "platform/errors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool failWithErrno()
{
    setLastError(errorFromErrno(errno));
    return false;
}

// A blocking connect that a signal interrupts goes on in the background; wait for its outcome
// instead of starting a second one.
bool finishInterruptedConnect(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do
        ready = ::poll(&p, 1, -1);
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return failWithErrno();
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return failWithErrno();
    if (error != 0) {
        setLastError(errorFromErrno(error));
        return false;
    }
    return true;
}

} // namespace

std::optional<Ipv4Address> parseIpv4(std::string_view text)
{
    // inet_pton takes exactly four decimal parts with nothing around them; a zero byte inside
    // the text would hide what follows it.
    const std::string copy(text);
    in_addr address{};
    if (copy.find('\0') != std::string::npos || ::inet_pton(AF_INET, copy.c_str(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

std::optional<Ipv4Address> resolveIpv4(const std::string& hostName)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (hostName.empty() || ::getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0 || !found) {
        setLastError(WSAHOST_NOT_FOUND);
        return std::nullopt;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const Ipv4Address result = ntohl(address->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return result;
}

// ---------------------------------------------------------------------------------------------
// TcpSocket

TcpSocket::~TcpSocket() { close(); }

bool TcpSocket::create()
{
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0 || failWithErrno();
}

bool TcpSocket::setReceiveBufferSize(int bytes)
{
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0 || failWithErrno();
}

bool TcpSocket::connect(Ipv4Address address, std::uint16_t port)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return true;
    if (errno == EINTR)
        return finishInterruptedConnect(fd_);
    return failWithErrno();
}

long TcpSocket::send(const void* data, std::size_t size)
{
    const ssize_t sent = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (sent < 0)
        failWithErrno();
    return static_cast<long>(sent);
}

long TcpSocket::receive(void* buffer, std::size_t size) const
{
    ssize_t received;
    do
        received = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    while (received < 0 && errno == EINTR);
    if (received < 0)
        failWithErrno();
    return static_cast<long>(received);
}

void TcpSocket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

// ---------------------------------------------------------------------------------------------
// SocketEvent

SocketEvent::SocketEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (fd_ < 0)
        failWithErrno();
}

SocketEvent::~SocketEvent()
{
    if (fd_ >= 0)
        ::close(fd_);
}

unsigned SocketEvent::wait(const TcpSocket& socket)
{
    if (fd_ < 0 || socket.fd_ < 0) {
        setLastError(WSAENOTSOCK);
        return 0;
    }
    pollfd fds[2] = {{socket.fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    int ready;
    do
        ready = ::poll(fds, 2, -1);
    while (ready < 0 && errno == EINTR);
    if (ready < 0 || (fds[0].revents & POLLNVAL)) {
        setLastError(ready < 0 ? errorFromErrno(errno) : WSAENOTSOCK);
        return 0;
    }
    unsigned events = 0;
    // The end of the stream and a pending error are readable too: the read reports them.
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
        events |= kReadable;
    if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
        events |= kSignalled;
    }
    return events;
}

void SocketEvent::signal()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

} // namespace platform
