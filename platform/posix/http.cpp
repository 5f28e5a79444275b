#include "platform/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

namespace {

// libcurl's global set-up is not safe to race with other threads, so it is done once, on the
// first transfer, and kept for the life of the process.
bool initCurl()
{
    static std::once_flag once;
    static CURLcode code = CURLE_FAILED_INIT;
    std::call_once(once, [] { code = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return code == CURLE_OK;
}

struct HostPort {
    std::string name;
    std::string port;
};

bool isHostNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

bool isIpv6Char(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

bool isPort(const std::string& text)
{
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const long value = std::stol(text);
    return value >= 1 && value <= 65535;
}

// Splits "name", "name:port", "[v6]" or "[v6]:port". Only plain host names and addresses pass,
// so a host text cannot smuggle user information, a path or another scheme into the address.
std::optional<HostPort> splitHost(const std::string& host)
{
    HostPort out{host, "80"};
    std::string rest;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string::npos || close == 1)
            return std::nullopt;
        out.name = host.substr(0, close + 1);
        if (!std::all_of(out.name.begin() + 1, out.name.end() - 1, isIpv6Char))
            return std::nullopt;
        rest = host.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return std::nullopt;
    } else {
        const auto colon = host.find(':');
        if (colon != std::string::npos) {
            out.name = host.substr(0, colon);
            rest = host.substr(colon);
        }
        if (out.name.empty() || !std::all_of(out.name.begin(), out.name.end(), isHostNameChar))
            return std::nullopt;
    }
    if (!rest.empty()) {
        out.port = rest.substr(1);
        if (!isPort(out.port))
            return std::nullopt;
    }
    return out;
}

// Everything that is not printable ASCII, and "#", which would otherwise cut the rest off as a
// fragment, is percent-encoded; the rest of the path goes out as the caller wrote it.
std::string encodePath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "/";
    for (std::size_t i = (!path.empty() && path.front() == '/') ? 1 : 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c <= 0x20 || c >= 0x7F || c == '#') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::uint32_t errorFromCurl(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return 0;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_OUT_OF_MEMORY:
    case CURLE_FAILED_INIT:
        return ERROR_INTERNET_OUT_OF_HANDLES;
    default:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

struct Transfer {
    CURL* curl = nullptr;
    const HttpGetHandlers* handlers = nullptr;
    std::size_t blockSize = 1024;
    bool statusDelivered = false;
    bool endedByCaller = false;
    bool handlerFailed = false;

    int status() const
    {
        long code = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        return static_cast<int>(code);
    }

    // False when the body is not wanted.
    bool deliverStatus()
    {
        statusDelivered = true;
        return !handlers->onStatus || handlers->onStatus(status());
    }

    // The body as libcurl hands it over, cut into the caller's blocks. Returning less than the
    // chunk's size makes libcurl end the transfer.
    static std::size_t onData(char* data, std::size_t size, std::size_t count, void* self)
    {
        auto& t = *static_cast<Transfer*>(self);
        const std::size_t total = size * count;
        try {
            if (!t.statusDelivered && !t.deliverStatus()) {
                t.endedByCaller = true;
                return 0;
            }
            for (std::size_t at = 0; at < total; at += t.blockSize) {
                const std::size_t n = std::min(t.blockSize, total - at);
                if (t.handlers->onBlock && !t.handlers->onBlock(data + at, n)) {
                    t.endedByCaller = true;
                    return 0;
                }
            }
        } catch (...) {
            // Nothing may unwind through libcurl's C frames.
            t.handlerFailed = true;
            return 0;
        }
        return total;
    }
};

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

} // namespace

HttpGetResult httpGet(const HttpGetRequest& request, const HttpGetHandlers& handlers)
{
    HttpGetResult result;
    const auto host = splitHost(request.host);
    if (!host) {
        result.error = ERROR_INTERNET_INVALID_URL;
        return result;
    }
    if (!initCurl()) {
        result.error = ERROR_INTERNET_OUT_OF_HANDLES;
        return result;
    }
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        result.error = ERROR_INTERNET_OUT_OF_HANDLES;
        return result;
    }

    Transfer transfer;
    transfer.curl = curl.get();
    transfer.handlers = &handlers;
    transfer.blockSize = std::max<std::size_t>(request.blockSize, 1);

    const std::string url = "http://" + host->name + ":" + host->port + encodePath(request.path);
    const long stallSeconds = std::max<long>(1, static_cast<long>(request.stallTimeout.count()));
    CURL* c = curl.get();
    // The proxy options are left alone on purpose: libcurl then takes them from the environment.
    const bool configured =
        curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_USERAGENT, request.agent.c_str()) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout.count())) ==
            CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, stallSeconds) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, static_cast<long>(std::max<std::size_t>(request.blockSize, 1024)))
            == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::onData) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    if (!configured) {
        result.error = ERROR_INTERNET_INVALID_URL;
        return result;
    }

    const CURLcode code = curl_easy_perform(c);
    result.status = transfer.status();
    if (transfer.handlerFailed) {
        result.error = ERROR_INTERNET_OPERATION_CANCELLED;
        return result;
    }
    if (transfer.endedByCaller)
        return result;
    result.error = errorFromCurl(code);
    // An answer without a body never reached the data callback.
    if (code == CURLE_OK && !transfer.statusDelivered && result.status != 0) {
        try {
            transfer.deliverStatus();
        } catch (...) {
            result.error = ERROR_INTERNET_OPERATION_CANCELLED;
        }
    }
    return result;
}

} // namespace platform
