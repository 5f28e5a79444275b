#pragma once
// Error codes. Failures are reported with the numeric codes the programs show and compare
// (the values of the Windows error and socket error tables), translated from errno where they
// come from the system.

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t ERROR_BAD_FORMAT = 11;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_DISK_FULL = 112;
inline constexpr std::uint32_t ERROR_MOD_NOT_FOUND = 126;
inline constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
inline constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr std::uint32_t ERROR_NO_DATA = 232;
inline constexpr std::uint32_t ERROR_CANCELLED = 1223;
inline constexpr std::uint32_t WSAEINVAL = 10022;
inline constexpr std::uint32_t WSAEWOULDBLOCK = 10035;
inline constexpr std::uint32_t WSAEALREADY = 10037;
inline constexpr std::uint32_t WSAENOTSOCK = 10038;
inline constexpr std::uint32_t WSAEADDRNOTAVAIL = 10049;
inline constexpr std::uint32_t WSAENETUNREACH = 10051;
inline constexpr std::uint32_t WSAECONNABORTED = 10053;
inline constexpr std::uint32_t WSAECONNRESET = 10054;
inline constexpr std::uint32_t WSAENOTCONN = 10057;
inline constexpr std::uint32_t WSAETIMEDOUT = 10060;
inline constexpr std::uint32_t WSAECONNREFUSED = 10061;
inline constexpr std::uint32_t WSAEHOSTUNREACH = 10065;
inline constexpr std::uint32_t WSAHOST_NOT_FOUND = 11001;

// The calling thread's last error, as set by the layer's failing operations.
std::uint32_t lastError();
void setLastError(std::uint32_t code);

// Maps an errno value to the code above that describes it best.
std::uint32_t errorFromErrno(int errnoValue);

} // namespace platform
