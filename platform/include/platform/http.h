#pragma once
// A plain HTTP GET client. It honours the environment's proxy settings (http_proxy, no_proxy),
// never follows redirects and hands the body over in blocks as they arrive, so a caller can
// write a large download to a file without holding it in memory. Failures are reported in the
// result, never thrown. A call blocks the calling thread until the transfer has ended; the
// time-outs bound how long a dead or stalled server can hold it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Error codes of failed transfers, with the values of the internet client's table.
inline constexpr std::uint32_t ERROR_INTERNET_OUT_OF_HANDLES = 12001;
inline constexpr std::uint32_t ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr std::uint32_t ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr std::uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr std::uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr std::uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr std::uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;

struct HttpGetRequest {
    std::string agent;   // the User-Agent header
    // "name" or "name:port"; without a port the request goes to port 80.
    std::string host;
    // The request path, with or without its leading "/"; blanks and bytes outside ASCII are
    // percent-encoded on the way out, everything else is sent as it is.
    std::string path;
    // The body arrives in blocks of at most this many bytes.
    std::size_t blockSize = 1024;
    std::chrono::milliseconds connectTimeout{15000};
    // A transfer that receives nothing for this long, while waiting for the answer or in the
    // middle of the body, is given up.
    std::chrono::seconds stallTimeout{30};
};

struct HttpGetHandlers {
    // Called once, when the status line and the headers have arrived and before any block;
    // returning false skips the body. Without it every body is taken.
    std::function<bool(int status)> onStatus;
    // Called with each block of the body in order; returning false ends the transfer there.
    std::function<bool(const char* data, std::size_t size)> onBlock;
};

struct HttpGetResult {
    // 0 when the transfer ran to its end or a handler ended it; otherwise one of the codes above.
    std::uint32_t error = 0;
    // The answer's status code; 0 when no answer arrived.
    int status = 0;
};

HttpGetResult httpGet(const HttpGetRequest& request, const HttpGetHandlers& handlers);

} // namespace platform
