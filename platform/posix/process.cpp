#include "platform/process.h"

#include "../core/context.h"
#include "platform/errors.h"
#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

NamedMutex::~NamedMutex()
{
    if (fd_ >= 0)
        ::close(fd_);   // closing the descriptor releases the lock
}

std::uint32_t NamedMutex::create(const std::string& name)
{
    if (fd_ >= 0)
        return ERROR_ALREADY_EXISTS;
    if (name.empty() || name.find('/') != std::string::npos)
        return ERROR_INVALID_PARAMETER;
    const std::string folder = Context::current().backend().folders().runtimeFolder;
    createDirectory(folder);
    const std::string path = folder + "/" + name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return errorFromErrno(errno);
    // flock locks belong to the open file description, so a second holder in this very process
    // is refused just like one in another process.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? ERROR_ALREADY_EXISTS : errorFromErrno(e);
    }
    fd_ = fd;
    return 0;
}

std::vector<std::string> splitCommandLine(const std::string& line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto isSpace = [](char c) { return c == ' ' || c == '\t'; };

    while (i < n && isSpace(line[i]))
        ++i;
    if (i >= n)
        return args;

    // The program name: quotes group, backslashes are plain characters.
    std::string program;
    if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"')
            program += line[i++];
        if (i < n)
            ++i;
    } else {
        while (i < n && !isSpace(line[i]))
            program += line[i++];
    }
    args.push_back(program);

    for (;;) {
        while (i < n && isSpace(line[i]))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !isSpace(line[i]))) {
            if (line[i] == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

} // namespace platform
