#include "tray_icon.h"

#include "platform/resources.h"
#include "platform/text.h"

namespace {
constexpr std::uint32_t kIconId = 1;
constexpr int kProgramIcon = 128;
constexpr std::size_t kMaxTip = 127;
} // namespace

bool CTrayIcon::Create(platform::Handle owner, std::uint32_t callbackMessage, const std::string& tip)
{
    data_ = {};
    data_.window = owner;
    data_.id = kIconId;
    data_.flags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
    data_.callbackMessage = callbackMessage;
    data_.tip = platform::utf8Prefix(tip, kMaxTip);
    return platform::notifyIcon(platform::NotifyAction::Add, data_);
}

void CTrayIcon::SetProgramIcon()
{
    const auto icon = platform::currentResourceModule().find("ICON", kProgramIcon);
    data_.flags = platform::NIF_ICON;
    data_.icon = icon ? std::vector<unsigned char>(icon->begin(), icon->end()) : std::vector<unsigned char>{};
    platform::notifyIcon(platform::NotifyAction::Modify, data_);
}

void CTrayIcon::Remove()
{
    data_.flags = 0;
    platform::notifyIcon(platform::NotifyAction::Delete, data_);
}
