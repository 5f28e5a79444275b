#include "platform/files.h"

#include "platform/errors.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace platform {

bool fileExists(const std::string& path)
{
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createFileIfMissing(const std::string& path)
{
    // O_EXCL: an existing file is never opened, let alone truncated.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EEXIST)
        setLastError(errorFromErrno(errno));
    return errno == EEXIST;
}

bool deleteFile(const std::string& path)
{
    if (::unlink(path.c_str()) == 0)
        return true;
    setLastError(errorFromErrno(errno));
    return false;
}

bool createDirectory(const std::string& path)
{
    if (path.empty())
        return false;
    if (::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && isDirectory(path)))
        return true;
    setLastError(errorFromErrno(errno));
    return false;
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    File file;
    if (file.open(path, File::Mode::Read) != 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const long n = file.read(buffer, sizeof buffer);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeWholeFile(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    {
        File file;
        if (file.open(temporary, File::Mode::WriteTruncate) != 0)
            return false;
        if (!file.write(bytes.data(), bytes.size())) {
            file.close();
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        setLastError(errorFromErrno(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

File::~File() { close(); }

std::uint32_t File::open(const std::string& path, Mode mode)
{
    close();
    const int flags = mode == Mode::Read ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        const std::uint32_t code = errorFromErrno(errno);
        setLastError(code);
        return code;
    }
    if (mode == Mode::Read) {
        struct stat st{};
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            close();
            setLastError(ERROR_ACCESS_DENIED);
            return ERROR_ACCESS_DENIED;
        }
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return 0;
}

long File::read(void* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR) {
            setLastError(errorFromErrno(errno));
            return -1;
        }
    }
}

bool File::write(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastError(errorFromErrno(errno));
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void File::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool setFileTimes(const std::string& path, const FileTimes& times)
{
    struct utimbuf buf{};
    buf.actime = times.access;
    buf.modtime = times.modification;
    if (::utime(path.c_str(), &buf) == 0)
        return true;
    setLastError(errorFromErrno(errno));
    return false;
}

std::optional<FileTimes> fileTimes(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileTimes{st.st_atime, st.st_mtime};
}

bool setReadOnly(const std::string& path, bool readOnly)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    return ::chmod(path.c_str(), mode) == 0;
}

bool setExecutable(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    const mode_t mode = st.st_mode & 07777;
    return ::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) == 0;
}

bool isExecutable(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

bool isReadOnly(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

} // namespace platform
