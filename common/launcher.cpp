#include "launcher.h"

#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/loop.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/window.h"

#include <cstdio>
#include <zlib.h>

namespace {
// The string-table entry that holds the program's title.
constexpr int kAppTitleString = 57344;
} // namespace

bool RunAsAdmin(const std::string& file, const std::string& params)
{
    const std::uint32_t code = platform::startElevated(file, params);
    if (code == 0)
        return true;
    char text[64];
    std::snprintf(text, sizeof text, "프로그램 실행 에러 !!.\r\n0x%x", code);
    platform::messageBox(0, text, platform::loadString(kAppTitleString), platform::Buttons::Ok);
    return false;
}

std::uint32_t GetFileCrc32(const std::string& path, std::uint32_t& crc)
{
    crc = 0;
    platform::File file;
    if (const std::uint32_t code = file.open(path, platform::File::Mode::Read))
        return code;
    uLong sum = crc32(0L, Z_NULL, 0);
    unsigned char block[4096];
    for (;;) {
        const long n = file.read(block, sizeof block);
        if (n <= 0)
            break;
        sum = crc32(sum, block, static_cast<uInt>(n));
    }
    crc = static_cast<std::uint32_t>(sum);
    return 0;
}

bool FileExists(const std::string& path)
{
    const auto local = platform::toLocaleCharset(path);
    return local && platform::fileExists(*local);
}

std::string GetModuleDir()
{
    const std::string path = platform::modulePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string GetWindowsDir() { return platform::windowsFolder(); }

std::string GetTempDir() { return GetWindowsDir() + "/temp"; }

void GetWorkArea(platform::Rect& rect)
{
    rect = platform::windowRect(platform::desktopWindow());
    if (const platform::Handle taskbar = platform::findWindow("Shell_TrayWnd", ""))
        rect.bottom = platform::windowRect(taskbar).top;
}

void LoadResourceDll(ResourceLibrary& library, platform::Handle mainWindow, const std::string& path)
{
    if (path.empty()) {
        platform::setCurrentResourceModule(nullptr);
    } else {
        if (library.module) {
            platform::setCurrentResourceModule(nullptr);
            platform::freeResourceLibrary(library.module);
        }
        library.module = platform::loadResourceLibrary(path);
        platform::setCurrentResourceModule(library.module);
    }
    platform::redrawWindow(mainWindow);
    platform::post(mainWindow, WM_RESOURCES_CHANGED);
}
