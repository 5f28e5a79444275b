#pragma once
// Where the program's notification-area icons live on a Linux desktop. The XEmbed tray
// (GtkStatusIcon) is the one implementation so far; a StatusNotifierItem exported over D-Bus can
// take its place behind the same interface.

#include "platform/tray.h"

#include <memory>

namespace platform::gtk {

class TrayArea {
public:
    virtual ~TrayArea() = default;
    // Each fails for an icon (owner window, id) that does (add) or does not (modify, remove)
    // exist, or when the picture cannot be decoded.
    virtual bool add(const NotifyIconData& data) = 0;
    virtual bool modify(const NotifyIconData& data) = 0;
    virtual bool remove(const NotifyIconData& data) = 0;
};

// Icons in the XEmbed system tray.
std::unique_ptr<TrayArea> makeStatusIconTray();

} // namespace platform::gtk
