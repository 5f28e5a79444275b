#pragma once
// Small helpers both programs use for their own files and to start other programs.

#include "platform/resources.h"
#include "platform/types.h"

#include <cstdint>
#include <string>

// Starts `file` with `params` elevated. On failure shows "프로그램 실행 에러 !!.\r\n0x<code>" with
// the program's title as caption and returns false.
bool RunAsAdmin(const std::string& file, const std::string& params);

// Stores the file's CRC-32 (zlib's) in `crc` and returns 0, or returns the error code of the
// failed open with `crc` 0. A read error midway ends the sum there and still returns 0.
std::uint32_t GetFileCrc32(const std::string& path, std::uint32_t& crc);

// True when the file exists; a name the locale's character set cannot hold counts as missing.
bool FileExists(const std::string& path);

// The running program's folder, without a trailing separator ("" when the path has none).
std::string GetModuleDir();
std::string GetWindowsDir();
std::string GetTempDir();   // the Windows folder's "temp"

// The screen above the taskbar: the desktop rectangle with its bottom moved up to the top edge of
// the taskbar window, when there is one.
void GetWorkArea(platform::Rect& rect);

// The resource library currently loaded in place of the program's own resources.
struct ResourceLibrary {
    const platform::ResourceModule* module = nullptr;
};

// The main window learns of a resource switch by this message and reloads its list page.
inline constexpr std::uint32_t WM_RESOURCES_CHANGED = 0x0400 + 7;

// Makes the library at `path` the module that supplies pages, scripts, images and menus, or the
// program itself again when `path` is empty (a library loaded earlier then stays loaded). Then
// repaints `mainWindow` and posts WM_RESOURCES_CHANGED to it.
void LoadResourceDll(ResourceLibrary& library, platform::Handle mainWindow, const std::string& path);
