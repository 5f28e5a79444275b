#pragma once
// Files and folders.
//
// The folders a program asks for (its own folder, the Windows, system, temp and desktop
// folders) come from the backend: on a real desktop they live in the user's data directory, under
// simulation in a scratch folder of the test.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace platform {

std::string modulePath();      // the running program's file
std::string windowsFolder();
std::string systemFolder();    // created if missing
std::string desktopFolder();   // created if missing

bool fileExists(const std::string& path);      // a file or folder is there
bool isDirectory(const std::string& path);
// Creates an empty file; an existing file is left exactly as it is. True when the file exists
// afterwards.
bool createFileIfMissing(const std::string& path);
bool deleteFile(const std::string& path);
// Creates one folder; true when it exists afterwards.
bool createDirectory(const std::string& path);
// Whole file as bytes, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);
// Replaces the file's content atomically (a temporary file renamed over it).
bool writeWholeFile(const std::string& path, const std::string& bytes);

// A file opened for sequential reading or writing. Failures leave the error in lastError().
class File {
public:
    enum class Mode { Read, WriteTruncate };
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    // 0 on success, otherwise the error code.
    std::uint32_t open(const std::string& path, Mode mode);
    bool isOpen() const { return fd_ >= 0; }
    // Bytes read (0 at the end), or -1 on an error.
    long read(void* buffer, std::size_t size);
    // True when every byte was written.
    bool write(const void* data, std::size_t size);
    void close();

private:
    int fd_ = -1;
};

struct FileTimes {
    std::time_t access = 0;
    std::time_t modification = 0;
};
bool setFileTimes(const std::string& path, const FileTimes& times);
std::optional<FileTimes> fileTimes(const std::string& path);
// Read-only clears every write permission bit; writable gives the owner write permission back.
bool setReadOnly(const std::string& path, bool readOnly);
bool isReadOnly(const std::string& path);
// Gives execute permission to whoever may read the file (programs unpacked from archives).
bool setExecutable(const std::string& path);
bool isExecutable(const std::string& path);

} // namespace platform
