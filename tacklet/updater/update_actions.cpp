#include "update_actions.h"

#include "launcher.h"
#include "orvane_app.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/text.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

namespace {

constexpr const char* kDownloadAgent = "TESSARY SESSION";
constexpr std::size_t kDownloadBlock = 1024;
constexpr std::size_t kInflateBlock = 16 * 1024;
// The command buffers of the starts, terminator included.
constexpr std::size_t kRegisterCommandLimit = 256;
constexpr std::size_t kExecCommandLimit = 512;

// Attribute bits of a zip entry's external attributes as the archivers of the server's platform
// write them.
constexpr unsigned long kAttributeReadOnly = 0x01;
constexpr unsigned long kAttributeDirectory = 0x10;
// Archivers on Unix-like systems record the file mode in the high half of the external
// attributes and say so in the high byte of "version made by".
constexpr unsigned long kMadeOnUnix = 3;
constexpr unsigned long kUnixOwnerExecute = 0100;

// The header of the extended time-stamp extra field ("UT") and its flags.
constexpr unsigned kExtendedTimestampId = 0x5455;
constexpr unsigned kHasModification = 0x01;
constexpr unsigned kHasAccess = 0x02;

std::string withSlashes(std::string name)
{
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

// A command fits when the locale's character set can hold it and it fits its buffer.
bool fitsCommandBuffer(const std::string& command, std::size_t limit)
{
    const auto local = platform::toLocaleCharset(command);
    return local && local->size() < limit;
}

unsigned readLe16(const unsigned char* p) { return p[0] | (p[1] << 8); }

std::int32_t readLe32(const unsigned char* p)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

// The entry's DOS date (high word) and time (low word), read as local time.
std::optional<std::time_t> dosTime(unsigned long dosDate)
{
    const unsigned date = static_cast<unsigned>(dosDate >> 16) & 0xFFFF;
    const unsigned time = static_cast<unsigned>(dosDate) & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(time & 0x1F) * 2;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return t;
}

// The times the extended time-stamp field carries override the DOS time. The central directory's
// copy of the field usually holds the modification time only, although its flags name more, so
// each value is taken only when the field really contains it.
struct EntryTimes {
    std::optional<std::time_t> access;
    std::optional<std::time_t> modification;
};

void applyExtendedTimestamp(const unsigned char* extra, std::size_t size, EntryTimes& times)
{
    std::size_t at = 0;
    while (at + 4 <= size) {
        const unsigned id = readLe16(extra + at);
        const std::size_t length = readLe16(extra + at + 2);
        const unsigned char* data = extra + at + 4;
        if (at + 4 + length > size)
            return;
        if (id == kExtendedTimestampId && length >= 1) {
            const unsigned flags = data[0];
            std::size_t p = 1;
            if (flags & kHasModification) {
                if (p + 4 > length)
                    return;
                times.modification = readLe32(data + p);
                p += 4;
            }
            if (flags & kHasAccess) {
                if (p + 4 > length)
                    return;
                times.access = readLe32(data + p);
            }
            return;
        }
        at += 4 + length;
    }
}

// Writes the current entry of `zip` to `target`; failures end this entry only.
void extractCurrentEntry(unzFile zip, const std::string& target)
{
    unz_file_info64 info{};
    std::vector<unsigned char> extra(0xFFFF);
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, extra.data(), static_cast<uLong>(extra.size()), nullptr, 0) !=
        UNZ_OK)
        return;

    if (info.external_fa & kAttributeDirectory) {
        MakeDirs(target);
        return;
    }

    if (const auto slash = target.rfind('/'); slash != std::string::npos && slash > 0)
        MakeDirs(target.substr(0, slash));
    platform::File file;
    if (file.open(target, platform::File::Mode::WriteTruncate) != 0)
        return;
    if (unzOpenCurrentFile(zip) == UNZ_OK) {
        std::vector<char> block(kInflateBlock);
        for (;;) {
            const int n = unzReadCurrentFile(zip, block.data(), static_cast<unsigned>(block.size()));
            if (n <= 0 || !file.write(block.data(), static_cast<std::size_t>(n)))
                break;
        }
        // A CRC mismatch reported here is not acted on: the bytes are written already.
        unzCloseCurrentFile(zip);
    }
    file.close();

    // A DOS time that names no real moment leaves the file's own times, unless the extended
    // time-stamp gives both.
    const auto dos = dosTime(info.dosDate);
    EntryTimes times{dos, dos};
    applyExtendedTimestamp(extra.data(), std::min<std::size_t>(info.size_file_extra, extra.size()), times);
    if (times.access && times.modification)
        platform::setFileTimes(target, {*times.access, *times.modification});
    // Hidden, system and archive mean nothing here; read-only takes the write permissions away.
    platform::setReadOnly(target, (info.external_fa & kAttributeReadOnly) != 0);
    // A program that was executable where the archive was made stays startable here.
    if ((info.version >> 8) == kMadeOnUnix && ((info.external_fa >> 16) & kUnixOwnerExecute))
        platform::setExecutable(target);
}

// The folder of an item's DIR for the second pass: an unknown keyword means the program's folder.
std::string actionFolder(const std::string& keyword) { return KeywordFolder(keyword).value_or(GetModuleDir()); }

} // namespace

UrlParts SplitUrl(const std::string& url)
{
    const std::string rest = url.size() > 7 ? url.substr(7) : std::string();
    const auto slash = rest.find('/');
    if (slash == std::string::npos)
        return {rest, std::string()};
    return {rest.substr(0, slash), rest.substr(slash + 1)};
}

std::optional<std::string> KeywordFolder(const std::string& keyword)
{
    if (keyword == "APPPATH")
        return GetModuleDir();
    if (keyword == "TEMP")
        return GetTempDir();
    if (keyword == "WINDOWS")
        return GetWindowsDir();
    if (keyword == "DESKTOP")
        return platform::desktopFolder();
    if (keyword == "SYSTEM")
        return platform::systemFolder();
    return std::nullopt;
}

bool StaysInsideFolder(const std::string& file)
{
    if (file.find('\0') != std::string::npos)
        return false;
    const std::string name = withSlashes(file);
    if (!name.empty() && name.front() == '/')
        return false;
    std::size_t start = 0;
    for (;;) {
        const auto slash = name.find('/', start);
        const std::string segment = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (segment == "..")
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

std::optional<std::string> ItemPath(const std::string& folder, const std::string& file)
{
    if (!StaysInsideFolder(file))
        return std::nullopt;
    return folder + "/" + withSlashes(file);
}

bool Download(const std::string& url, const std::string& path)
{
    const UrlParts parts = SplitUrl(url);
    if (const auto slash = path.rfind('/'); slash != std::string::npos && slash > 0)
        MakeDirs(path.substr(0, slash));
    platform::File file;
    if (file.open(path, platform::File::Mode::WriteTruncate) != 0)
        return false;

    platform::HttpGetRequest request;
    request.agent = kDownloadAgent;
    request.host = parts.host;
    request.path = parts.path;
    request.blockSize = kDownloadBlock;
    platform::HttpGetHandlers handlers;
    handlers.onStatus = [](int status) { return status == 200; };
    // A block that cannot be written ends the transfer; what was written stays.
    handlers.onBlock = [&file](const char* data, std::size_t size) { return file.write(data, size); };
    platform::httpGet(request, handlers);
    file.close();
    return true;
}

void MakeDirs(const std::string& path)
{
    if (path.empty())
        return;
    // The root at the start of a full path is there already.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/')
            platform::createDirectory(path.substr(0, i));
    }
    platform::createDirectory(path);
}

void UnzipTo(const std::string& archive, const std::string& target)
{
    unzFile zip = unzOpen64(archive.c_str());
    if (!zip)
        return;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip, &global) == UNZ_OK) {
        for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
            const int moved = i == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip);
            if (moved != UNZ_OK)
                break;
            extractCurrentEntry(zip, target);
        }
    }
    unzClose(zip);
}

void RegisterComponent(const std::string& target)
{
    const std::string system = platform::systemFolder();
    if (!platform::isDirectory(system))
        return;
    const std::string command = system + "/regsvr32 -s " + target;
    if (!fitsCommandBuffer(command, kRegisterCommandLimit))
        return;
    platform::startProgram(command, false);
}

void RunItemAction(COrvaneApp& app, const Packet& item)
{
    const std::string file = item.GetTag("FILE");
    const auto path = ItemPath(actionFolder(item.GetTag("DIR")), file);
    if (!path)
        return;
    const std::string type = item.GetTag("TYPE");

    if (type == "RESOURCE") {
        // Stored first, so the next start takes the library even when it does not load now.
        platform::writeProfileString(kResourceSettingsSection, "RES_DLL", file, app.ResourceSettingsPath());
        app.LoadResourceDll(file);
    } else if (type == "EXEC") {
        if (!FileExists(*path))
            return;
        const std::string params = item.GetTag("PARAMS");
        if (platform::osMajorVersion() >= 6) {
            RunAsAdmin(*path, params);
        } else {
            // The parameters bring their own leading blank; none is put in between.
            const std::string command = *path + params;
            if (fitsCommandBuffer(command, kExecCommandLimit))
                platform::startProgram(command, true);
        }
    }
}
