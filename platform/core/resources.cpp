#include "platform/resources.h"

#include "context.h"

#include <cstring>

namespace platform {

ResourceModule::ResourceModule(std::string path, const PlatformResourceTable* table) : path_(std::move(path)), table_(table) {}

std::optional<std::string_view> ResourceModule::find(std::string_view type, int id) const
{
    for (std::size_t i = 0; i < table_->count; ++i) {
        const PlatformResource& entry = table_->entries[i];
        if (entry.id == id && type == entry.type)
            return std::string_view(reinterpret_cast<const char*>(entry.data), entry.size);
    }
    return std::nullopt;
}

const ResourceModule& programModule() { return Context::current().programModule(); }
const ResourceModule& currentResourceModule() { return Context::current().currentModule(); }
void setCurrentResourceModule(const ResourceModule* module) { Context::current().setCurrentModule(module); }
const ResourceModule* loadResourceLibrary(const std::string& path) { return Context::current().loadLibrary(path); }
void freeResourceLibrary(const ResourceModule* module) { Context::current().freeLibrary(module); }
const ResourceModule* moduleByPath(std::string_view path) { return Context::current().moduleByPath(path); }

std::string loadString(int id)
{
    auto text = currentResourceModule().find("STRING", id);
    return text ? std::string(*text) : std::string();
}

} // namespace platform
