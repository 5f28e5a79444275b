#pragma once

#include "pushsim/framing.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pushsim {

// A push server on 127.0.0.1 for tests and the demo program.
//
// One background thread accepts connections and reads from them. Connections
// are numbered 0, 1, 2 ... in the order they were accepted and are kept, with
// every byte each one sent, after they close; the newest connection is "the
// client" that send(), sendRaw(), closeClient() and waitForPeerClose() address.
//
// Every method may be called from any thread. The waits take a timeout and
// report a timeout as false or nullopt.
class PushServer {
public:
    struct Options {
        // A connection that sends more than this in total is dropped. Every
        // byte received is kept for receivedBytes(), so this is what bounds
        // the memory one client can make the server hold.
        std::size_t maxConnectionBytes = std::size_t{16} << 20;
    };

    enum class CloseReason {
        Peer,      // the client closed its end, or reset the connection
        Server,    // closeClient(), closeAll() or stop()
        Overflow,  // the client sent more than Options::maxConnectionBytes
    };

    struct Event {
        enum class Kind { Connected, Packet, Closed };
        Kind kind;
        std::size_t connection;
        std::string text;                        // Packet: the frame's text
        CloseReason reason = CloseReason::Peer;  // Closed: why
    };

    // Called without the server's lock held, so it may call back into the
    // server. Connected, Packet and peer or overflow Closed events come from
    // the server's thread, Closed events of the server's own closing from the
    // thread that closed.
    using Observer = std::function<void(const Event&)>;

    explicit PushServer(std::unique_ptr<Framing> framing, Options options);
    explicit PushServer(std::unique_ptr<Framing> framing);
    PushServer();  // TackletFraming, default options
    ~PushServer();

    PushServer(const PushServer&) = delete;
    PushServer& operator=(const PushServer&) = delete;

    // Binds 127.0.0.1:port (0 picks a free port) and starts the server's
    // thread. A server listens once: false when it already did, was stopped,
    // or the port cannot be bound.
    bool listen(std::uint16_t port = 0);
    std::uint16_t port() const;

    // Closes the listening socket: connects are refused from the moment this
    // returns, while accepted connections stay open.
    void stopAccepting();
    // Listens again on the same port; false when it cannot be bound or the
    // server is not running.
    bool resumeAccepting();

    // Closes every connection and the listener and joins the server's thread.
    // The recorded bytes stay readable. Also done by the destructor.
    void stop();

    void setObserver(Observer observer);

    std::size_t acceptedCount() const;
    std::size_t openCount() const;

    // True once at least `count` connections have been accepted in all.
    bool waitForConnections(std::size_t count, std::chrono::milliseconds timeout);

    // The next complete frame received from any connection, in arrival order.
    std::optional<std::string> nextPacket(std::chrono::milliseconds timeout);

    // Every byte connection `connection` has sent, in order. Throws
    // std::out_of_range for a connection that was never accepted.
    std::string receivedBytes(std::size_t connection) const;

    // Sends one framed packet to the newest connection, or to `connection`.
    // False when that connection is closed or the send fails.
    bool send(std::string_view text);
    bool sendTo(std::size_t connection, std::string_view text);
    // Sends bytes as they are, so a test can split a frame at any byte or put
    // several frames into one write.
    bool sendRaw(std::string_view bytes);

    // Closes the newest connection; false when it is closed already.
    bool closeClient();
    void closeAll();

    // True once the newest connection has been closed by its client.
    bool waitForPeerClose(std::chrono::milliseconds timeout);

    // Returns once the server's thread has completed a pass over its sockets
    // that began after the call: every connect and every byte that had reached
    // the server's sockets by then has been accepted and read (up to one read
    // of 64 KiB per connection). On loopback a client's connect or send has
    // reached them when the client's call returns, so a test can tell exactly
    // what a client did before a given moment. False on a timeout or when the
    // server is not running.
    bool settle(std::chrono::milliseconds timeout);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace pushsim
