#pragma once
// Resource modules. A module is a table of (type, id) -> bytes: the program's own table, generated
// at build time from its manifest and linked in, or a resource library, a shared object that
// exports the same kind of table. One module is "current": pages, scripts, images and menus are
// taken from it, and a resource library may replace the program's own resources that way.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

extern "C" {
struct PlatformResource {
    const char* type;   // "HTML", "JS", "IMG", "WAVE", "ICON", "MENU", "DIALOG", "STRING"
    int id;
    const unsigned char* data;
    std::size_t size;
};
struct PlatformResourceTable {
    unsigned version;   // kResourceTableVersion
    std::size_t count;
    const PlatformResource* entries;
};
}

// The symbol a resource library exports: a function returning its table.
#define PLATFORM_RESOURCE_TABLE_SYMBOL "platform_resource_table"

namespace platform {

inline constexpr unsigned kResourceTableVersion = 1;

class ResourceModule {
public:
    ResourceModule(std::string path, const PlatformResourceTable* table);
    const std::string& path() const { return path_; }
    std::optional<std::string_view> find(std::string_view type, int id) const;

private:
    std::string path_;
    const PlatformResourceTable* table_;
};

// The program itself as a resource module.
const ResourceModule& programModule();

const ResourceModule& currentResourceModule();
// nullptr makes the program itself current again.
void setCurrentResourceModule(const ResourceModule* module);

// Loads a resource library. A name without a folder is looked for in the program's folder first,
// then where the dynamic loader looks. Nothing when it cannot be loaded or exports no table.
const ResourceModule* loadResourceLibrary(const std::string& path);
// Unloads a library loaded earlier; the program becomes current if the library was.
void freeResourceLibrary(const ResourceModule* module);
// The loaded module (the program or a library) whose path is `path`.
const ResourceModule* moduleByPath(std::string_view path);

// A text of the current module's string table, or "" when there is none.
std::string loadString(int id);

} // namespace platform
