// pushsim: the push server and web server that the clients talk to in the
// demo, on 127.0.0.1. Prints one line per event.

#include "pushsim/push_server.h"
#include "pushsim/web_server.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: pushsim [--push-port N] [--web-port N] [--note-every SECONDS]\n"
    "               [--packets FILE] [--web-root DIR] [--quiet]\n"
    "\n"
    "  --push-port N        push server port (default 3000)\n"
    "  --web-port N         web server port (default 8090)\n"
    "  --note-every SECONDS send a note to every logged-in client this often\n"
    "  --packets FILE       packets, one a line, sent to each client after its\n"
    "                       first packet; blank lines and lines starting with #\n"
    "                       are skipped\n"
    "  --web-root DIR       serve the files below DIR by path\n"
    "  --quiet              print errors only\n";

struct Settings {
    std::uint16_t pushPort = 3000;
    std::uint16_t webPort = 8090;
    long noteEvery = 0;  // seconds; 0: no notes
    std::string packetsFile;
    std::string webRoot;
    bool quiet = false;
};

std::optional<long> parseNumber(const char* text, long min, long max) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max) return std::nullopt;
    return value;
}

// Returns an error message, or nothing when the arguments are good.
std::optional<std::string> parseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--quiet") {
            settings.quiet = true;
            continue;
        }
        if (option != "--push-port" && option != "--web-port" && option != "--note-every" &&
            option != "--packets" && option != "--web-root") {
            return "unknown option " + std::string(option);
        }
        if (i + 1 == argc) return std::string(option) + " needs a value";
        const char* value = argv[++i];
        if (option == "--packets") {
            settings.packetsFile = value;
        } else if (option == "--web-root") {
            settings.webRoot = value;
        } else if (option == "--note-every") {
            const std::optional<long> seconds = parseNumber(value, 1, 86400);
            if (!seconds) return "--note-every takes 1 to 86400 seconds";
            settings.noteEvery = *seconds;
        } else {
            const std::optional<long> port = parseNumber(value, 0, 65535);
            if (!port) return std::string(option) + " takes a port from 0 to 65535";
            (option == "--push-port" ? settings.pushPort : settings.webPort) =
                static_cast<std::uint16_t>(*port);
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> readPackets(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> packets;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        packets.push_back(line);
    }
    return packets;
}

std::string notePacket(unsigned number) {
    const std::string n = std::to_string(number);
    return "<PKT><GBN>3</GBN><P-WND>1</P-WND>"
           "<P-TIT>시세 알림 " + n + "</P-TIT>"
           "<P-MSG><b>연습 종목 " + n + "</b> 현재가 <font color=\"red\">12,345원</font>"
           " (+1.25%)<br>시뮬레이터가 보낸 " + n + "번째 알림입니다.</P-MSG>"
           "<P-WW>300</P-WW><P-HH>200</P-HH><P-CLOSESEC>8</P-CLOSESEC>"
           "<P-ALM>1</P-ALM><P-CAT>1</P-CAT></PKT>";
}

// Control characters would break the one-line-per-event output; frames may
// hold line breaks.
std::string printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

class Console {
public:
    explicit Console(bool quiet) : quiet_(quiet) {}

    void event(const std::string& line) {
        if (quiet_) return;
        std::lock_guard lock(mutex_);
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    }
    void error(const std::string& line) {
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "pushsim: %s\n", line.c_str());
    }

private:
    const bool quiet_;
    std::mutex mutex_;
};

// The demo's push server: greets each client after its login with the
// packets of the file and sends notes to logged-in clients.
class Demo {
public:
    Demo(Console& console, std::vector<std::string> packets)
        : console_(console), packets_(std::move(packets)) {
        server_.setObserver([this](const pushsim::PushServer::Event& event) { onEvent(event); });
    }

    pushsim::PushServer& server() { return server_; }

    // Called by the main thread only.
    void sendNote() {
        std::set<std::size_t> clients;
        {
            std::lock_guard lock(mutex_);
            clients = loggedIn_;
        }
        if (clients.empty()) return;  // numbers count the notes clients got
        const std::string note = notePacket(++notes_);
        for (const std::size_t client : clients) send(client, note);
    }

private:
    void onEvent(const pushsim::PushServer::Event& event) {
        using Kind = pushsim::PushServer::Event::Kind;
        const std::string client = "client " + std::to_string(event.connection);
        switch (event.kind) {
        case Kind::Connected:
            console_.event("[push] " + client + " connected");
            break;
        case Kind::Packet: {
            console_.event("[push] " + client + " sent " + printable(event.text));
            bool first = false;
            {
                std::lock_guard lock(mutex_);
                first = loggedIn_.insert(event.connection).second;
            }
            if (first) {
                for (const std::string& packet : packets_) send(event.connection, packet);
            }
            break;
        }
        case Kind::Closed:
            forget(event.connection);
            console_.event("[push] " + client + closeText(event.reason));
            break;
        }
    }

    void forget(std::size_t client) {
        std::lock_guard lock(mutex_);
        loggedIn_.erase(client);
    }

    static const char* closeText(pushsim::PushServer::CloseReason reason) {
        switch (reason) {
        case pushsim::PushServer::CloseReason::Peer: return " closed the connection";
        case pushsim::PushServer::CloseReason::Server: return " closed by the server";
        case pushsim::PushServer::CloseReason::Overflow: return " dropped: sent too much";
        }
        return "";
    }

    void send(std::size_t client, const std::string& packet) {
        const std::string target = "client " + std::to_string(client);
        if (server_.sendTo(client, packet)) {
            console_.event("[push] to " + target + ": " + printable(packet));
        } else {
            console_.error("could not send to " + target);
        }
    }

    Console& console_;
    const std::vector<std::string> packets_;
    std::mutex mutex_;
    std::set<std::size_t> loggedIn_;
    unsigned notes_ = 0;
    // Last, so that it stops first: its closing events still reach the
    // members above.
    pushsim::PushServer server_;
};

// Waits for SIGINT or SIGTERM, calling `tick` every `period` seconds meanwhile
// (never when `period` is 0). The signals must be blocked in every thread.
template <typename Tick>
void runUntilSignal(const sigset_t& signals, long period, Tick tick) {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + std::chrono::seconds(period);
    for (;;) {
        if (period == 0) {
            int signal = 0;
            if (sigwait(&signals, &signal) == 0) return;
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now());
        if (left.count() <= 0) {
            tick();
            next += std::chrono::seconds(period);
            continue;
        }
        timespec wait{};
        wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
        wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
        if (sigtimedwait(&signals, nullptr, &wait) >= 0) return;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (const std::optional<std::string> error = parseArguments(argc, argv, settings)) {
        std::fprintf(stderr, "pushsim: %s\n%s", error->c_str(), kUsage);
        return 2;
    }

    Console console(settings.quiet);
    std::vector<std::string> packets;
    if (!settings.packetsFile.empty()) {
        std::optional<std::vector<std::string>> read = readPackets(settings.packetsFile);
        if (!read) {
            console.error("cannot read " + settings.packetsFile);
            return 1;
        }
        packets = std::move(*read);
    }

    // Block the signals before any thread starts, so that every thread
    // inherits the mask and only the wait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    Demo demo(console, std::move(packets));
    pushsim::PushServer& push = demo.server();
    if (!push.listen(settings.pushPort)) {
        console.error("cannot listen on 127.0.0.1:" + std::to_string(settings.pushPort) + ": " +
                      std::strerror(errno));
        return 1;
    }

    pushsim::WebServer web;
    if (!settings.webRoot.empty() && !web.serveDirectory(settings.webRoot)) {
        console.error(settings.webRoot + " is not a directory");
        return 1;
    }
    web.setObserver([&console](const pushsim::HttpRequest& request, int status) {
        std::string line = "[web] " + request.method + " " + request.path;
        if (!request.query.empty()) line += "?" + request.query;
        line += " " + std::to_string(status);
        if (!request.userAgent.empty()) line += " (" + request.userAgent + ")";
        console.event(printable(line));
    });
    if (!web.listen(settings.webPort)) {
        console.error("cannot listen on 127.0.0.1:" + std::to_string(settings.webPort));
        return 1;
    }

    console.event("pushsim: push server on 127.0.0.1:" + std::to_string(push.port()) +
                  ", web server on 127.0.0.1:" + std::to_string(web.port()));
    runUntilSignal(signals, settings.noteEvery, [&demo] { demo.sendNote(); });
    console.event("pushsim: stopping");
    web.stop();
    push.stop();
    return 0;
}
