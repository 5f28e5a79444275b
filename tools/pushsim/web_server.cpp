#include "pushsim/web_server.h"

#include <httplib.h>

#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

namespace pushsim {
namespace {

class StoppableServer : public httplib::Server {
public:
    // httplib::Server::stop() does nothing until the accept loop has marked
    // itself running, so a stop() soon after listen() would be lost and the
    // join would hang. Taking the listening socket away works at any moment:
    // a loop that has not started finds no socket and ends at once, and a
    // loop blocked in accept() is woken by the shutdown.
    void closeListener() {
        const socket_t socket = svr_sock_.exchange(INVALID_SOCKET);
        if (socket == INVALID_SOCKET) return;
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
    }
};

// httplib's default also sets SO_REUSEPORT, which would let a second server
// bind a port that is taken and silently share its requests.
void reuseAddressOnly(socket_t socket) {
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

HttpRequest toRequest(const httplib::Request& in) {
    HttpRequest out;
    out.method = in.method;
    out.path = in.path;
    if (const std::size_t mark = in.target.find('?'); mark != std::string::npos) {
        out.query = in.target.substr(mark + 1);
    }
    out.body = in.body;
    out.userAgent = in.get_header_value("User-Agent");
    if (startsWith(in.get_header_value("Content-Type"), "application/x-www-form-urlencoded")) {
        httplib::detail::parse_query_text(in.body, out.form);
    }
    return out;
}

}  // namespace

struct WebServer::State {
    struct Route {
        HttpReply reply;
        Handler handler;  // answers instead of `reply` when set
    };
    using RouteKey = std::pair<std::string, std::string>;  // method, path

    StoppableServer http;
    std::thread thread;
    std::uint16_t port = 0;

    mutable std::mutex mutex;
    std::condition_variable recorded;
    std::map<RouteKey, Route> routes;
    std::vector<HttpRequest> requests;
    std::map<std::string, std::size_t> returned;  // per path: requests waitForRequest gave out
    Observer observer;

    void answer(const httplib::Request& in, httplib::Response& out);
    void record(const HttpRequest& request, int status);
};

void WebServer::State::answer(const httplib::Request& in, httplib::Response& out) {
    const HttpRequest request = toRequest(in);
    const std::string method = request.method == "HEAD" ? "GET" : request.method;
    HttpReply reply{404, {}, "text/plain; charset=utf-8"};
    Handler handler;
    {
        std::lock_guard lock(mutex);
        if (const auto route = routes.find({method, request.path}); route != routes.end()) {
            if (route->second.handler) {
                handler = route->second.handler;
            } else {
                reply = route->second.reply;
            }
        }
    }
    if (handler) reply = handler(request);
    record(request, reply.status);
    out.status = reply.status;
    out.set_content(reply.body, reply.contentType);
}

void WebServer::State::record(const HttpRequest& request, int status) {
    Observer current;
    {
        std::lock_guard lock(mutex);
        requests.push_back(request);
        current = observer;
    }
    recorded.notify_all();
    if (current) current(request, status);
}

WebServer::WebServer() : state_(std::make_unique<State>()) {
    State& s = *state_;
    const auto answer = [&s](const httplib::Request& in, httplib::Response& out) {
        s.answer(in, out);
    };
    // Every path goes to one handler, which looks the route up itself: routes
    // change while the server runs, and httplib's own table does not allow it.
    s.http.Get(".*", answer);
    s.http.Post(".*", answer);
    s.http.Put(".*", answer);
    s.http.Patch(".*", answer);
    s.http.Delete(".*", answer);
    s.http.Options(".*", answer);
    s.http.set_file_request_handler([&s](const httplib::Request& in, httplib::Response& out) {
        s.record(toRequest(in), out.status);
    });
    s.http.set_file_extension_and_mimetype_mapping("aspx", "text/html; charset=utf-8");
    s.http.set_socket_options(reuseAddressOnly);
    // stop() waits for idle keep-alive connections to time out.
    s.http.set_keep_alive_timeout(1);
}

WebServer::~WebServer() { stop(); }

bool WebServer::serveDirectory(const std::string& root) {
    return state_->http.set_mount_point("/", root);
}

void WebServer::setObserver(Observer observer) {
    std::lock_guard lock(state_->mutex);
    state_->observer = std::move(observer);
}

bool WebServer::listen(std::uint16_t port) {
    State& s = *state_;
    if (s.thread.joinable() || s.port != 0) return false;
    const int bound = port == 0 ? s.http.bind_to_any_port("127.0.0.1")
                                : (s.http.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) return false;
    s.port = static_cast<std::uint16_t>(bound);
    s.thread = std::thread([&s] { s.http.listen_after_bind(); });
    return true;
}

std::uint16_t WebServer::port() const { return state_->port; }

void WebServer::stop() {
    State& s = *state_;
    s.http.closeListener();
    if (s.thread.joinable()) s.thread.join();
}

void WebServer::serve(const std::string& path, std::string body, std::string contentType,
                      int status) {
    std::lock_guard lock(state_->mutex);
    state_->routes[{"GET", path}] =
        State::Route{HttpReply{status, std::move(body), std::move(contentType)}, nullptr};
}

void WebServer::setStatus(const std::string& path, int status) {
    std::lock_guard lock(state_->mutex);
    State::Route& route = state_->routes[{"GET", path}];
    if (route.handler) route = State::Route{};
    route.reply.status = status;
}

void WebServer::handle(const std::string& method, const std::string& path, Handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->routes[{method, path}] = State::Route{HttpReply{}, std::move(handler)};
}

std::vector<HttpRequest> WebServer::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::optional<HttpRequest> WebServer::waitForRequest(const std::string& path,
                                                     std::chrono::milliseconds timeout) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    std::size_t& returned = s.returned[path];
    std::optional<HttpRequest> found;
    const auto next = [&] {
        std::size_t seen = 0;
        for (const HttpRequest& request : s.requests) {
            if (request.path != path) continue;
            if (seen++ == returned) {
                found = request;
                return true;
            }
        }
        return false;
    };
    if (!s.recorded.wait_for(lock, timeout, next)) return std::nullopt;
    ++returned;
    return found;
}

}  // namespace pushsim
