#include "platform/errors.h"

#include <cerrno>

namespace platform {

namespace {
thread_local std::uint32_t tLastError = 0;
} // namespace

std::uint32_t lastError() { return tLastError; }
void setLastError(std::uint32_t code) { tLastError = code; }

std::uint32_t errorFromErrno(int e)
{
    switch (e) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOEXEC: return ERROR_BAD_FORMAT;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EPIPE: return ERROR_NO_DATA;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ECONNRESET: return WSAECONNRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETUNREACH: return WSAENETUNREACH;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ENOTCONN: return WSAENOTCONN;
    case ENOTSOCK: return WSAENOTSOCK;
    case EWOULDBLOCK: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    default: return ERROR_INVALID_PARAMETER;
    }
}

} // namespace platform
