#pragma once
// Processes: the one-instance mutex, starting programs, the OS version.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A mutex named per user and held until the object is destroyed or the process ends. The first
// process to create a name owns it; later creations of the same name, in this or another process
// of the same user, report ERROR_ALREADY_EXISTS.
class NamedMutex {
public:
    NamedMutex() = default;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    // 0 when this object now owns the name, ERROR_ALREADY_EXISTS when another holder has it,
    // another error code when the name cannot be used at all.
    std::uint32_t create(const std::string& name);

private:
    int fd_ = -1;
};

// Splits a command line the way Windows programs split theirs: blanks separate arguments,
// double quotes group, backslashes escape quotes only when they precede one.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// Starts the program a command line names, without a shell and without waiting for it.
// 0 on success, otherwise the error code (ERROR_FILE_NOT_FOUND for a missing program).
std::uint32_t startProgram(const std::string& commandLine, bool showWindow);

// Starts `file` with the parameter text `params` with administrator rights, which shows the
// desktop's elevation prompt. 0 on success, ERROR_CANCELLED when the user declined.
std::uint32_t startElevated(const std::string& file, const std::string& params);

// Opens a document or address with the desktop's default program.
std::uint32_t openWithDesktop(const std::string& target);

// The operating system's major version as the programs compare it (6 and more: elevation
// through a prompt is available). 0 when it cannot be told.
int osMajorVersion();

} // namespace platform
