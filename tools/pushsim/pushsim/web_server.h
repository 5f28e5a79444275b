#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pushsim {

struct HttpRequest {
    std::string method;
    std::string path;   // decoded, without the query
    std::string query;  // the raw text after '?', empty when there is none
    // The decoded fields of an application/x-www-form-urlencoded body.
    std::multimap<std::string, std::string> form;
    std::string body;
    std::string userAgent;
};

struct HttpReply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain; charset=utf-8";
};

// An HTTP/1.1 server on 127.0.0.1 for tests and the demo program. Routes are
// exact paths; a path without a route answers 404. Every request is recorded,
// before its answer is sent, so a client that has its answer can rely on the
// record being there.
//
// Routes, requests() and waitForRequest() may be used from any thread while
// the server runs; serveDirectory(), setObserver(), listen() and stop() belong
// to the thread that owns the server.
class WebServer {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;
    // Called on the server's worker threads for every request, after it was
    // recorded, with the status it is answered with.
    using Observer = std::function<void(const HttpRequest&, int status)>;

    WebServer();
    ~WebServer();

    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Serves the files below `root` by their paths. Files take precedence
    // over routes for GET. Call before listen(); false when `root` is not a
    // directory.
    bool serveDirectory(const std::string& root);
    void setObserver(Observer observer);

    // Binds 127.0.0.1:port (0 picks a free port) and starts serving. A server
    // listens once.
    bool listen(std::uint16_t port = 0);
    std::uint16_t port() const;
    // Stops accepting, finishes the requests in progress and joins every
    // thread. Also done by the destructor.
    void stop();

    // GET `path` answers with `body`.
    void serve(const std::string& path, std::string body,
               std::string contentType = "application/octet-stream", int status = 200);
    // GET `path` answers with `status`; a body served there is kept, a
    // handler there is replaced by an empty answer.
    void setStatus(const std::string& path, int status);
    // `method` `path` is answered by `handler`, called on a worker thread.
    void handle(const std::string& method, const std::string& path, Handler handler);

    std::vector<HttpRequest> requests() const;
    // The next request for `path` that no earlier call returned, waiting for
    // it when it has not arrived yet.
    std::optional<HttpRequest> waitForRequest(const std::string& path,
                                              std::chrono::milliseconds timeout);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace pushsim
