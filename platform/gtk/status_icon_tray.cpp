// GtkStatusIcon is deprecated in GTK 3 but is still the way to reach an XEmbed tray host, which
// delivers left, right and double clicks. The deprecation warnings are silenced in this file only.

#include "tray_area.h"

#include "platform/loop.h"
#include "platform/messages.h"

#include <gtk/gtk.h>

#include <map>

namespace platform::gtk {

namespace {

// The icon image from its file bytes (PNG); null when they cannot be decoded.
GdkPixbuf* decodePicture(const std::vector<unsigned char>& bytes)
{
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    const bool written = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr);
    // The loader must be closed in any case; its verdict only counts after a good write.
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* picture = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (picture)
        g_object_ref(picture);
    g_object_unref(loader);
    return picture;
}

class StatusIconTray final : public TrayArea {
public:

    ~StatusIconTray() override
    {
        for (auto& [key, icon] : icons_)
            g_object_unref(icon->widget);
    }

    bool add(const NotifyIconData& data) override
    {
        const Key key{data.window, data.id};
        if (icons_.count(key))
            return false;
        auto icon = std::make_unique<Icon>();
        icon->owner = data.window;
        icon->id = data.id;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        icon->widget = GTK_STATUS_ICON(g_object_new(GTK_TYPE_STATUS_ICON, "visible", FALSE, nullptr));
        G_GNUC_END_IGNORE_DEPRECATIONS
        if (!apply(*icon, data)) {
            g_object_unref(icon->widget);
            return false;
        }
        g_signal_connect(icon->widget, "button-press-event", G_CALLBACK(onButton), icon.get());
        g_signal_connect(icon->widget, "button-release-event", G_CALLBACK(onButton), icon.get());
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_status_icon_set_visible(icon->widget, TRUE);
        G_GNUC_END_IGNORE_DEPRECATIONS
        icons_.emplace(key, std::move(icon));
        return true;
    }

    bool modify(const NotifyIconData& data) override
    {
        auto it = icons_.find(Key{data.window, data.id});
        return it != icons_.end() && apply(*it->second, data);
    }

    bool remove(const NotifyIconData& data) override
    {
        auto it = icons_.find(Key{data.window, data.id});
        if (it == icons_.end())
            return false;
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_status_icon_set_visible(it->second->widget, FALSE);
        G_GNUC_END_IGNORE_DEPRECATIONS
        g_object_unref(it->second->widget);
        icons_.erase(it);
        return true;
    }

private:
    using Key = std::pair<Handle, std::uint32_t>;
    struct Icon {
        GtkStatusIcon* widget = nullptr;
        Handle owner = 0;
        std::uint32_t id = 0;
        std::uint32_t callbackMessage = 0;
    };

    static bool apply(Icon& icon, const NotifyIconData& data)
    {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        if (data.flags & NIF_ICON) {
            GdkPixbuf* picture = nullptr;
            if (!data.icon.empty() && !(picture = decodePicture(data.icon)))
                return false;
            gtk_status_icon_set_from_pixbuf(icon.widget, picture);
            if (picture)
                g_object_unref(picture);
        }
        if (data.flags & NIF_TIP)
            gtk_status_icon_set_tooltip_text(icon.widget, data.tip.c_str());
        G_GNUC_END_IGNORE_DEPRECATIONS
        if (data.flags & NIF_MESSAGE)
            icon.callbackMessage = data.callbackMessage;
        return true;
    }

    // The owner learns of clicks as its callback message: wParam the icon id, lParam the mouse
    // message, as the desktop the programs were written for reports them.
    static gboolean onButton(GtkStatusIcon*, GdkEventButton* event, gpointer data)
    {
        const Icon& icon = *static_cast<Icon*>(data);
        std::uint32_t mouseMessage = 0;
        if (event->button == GDK_BUTTON_PRIMARY && event->type == GDK_BUTTON_RELEASE)
            mouseMessage = WM_LBUTTONUP;
        else if (event->button == GDK_BUTTON_PRIMARY && event->type == GDK_2BUTTON_PRESS)
            mouseMessage = WM_LBUTTONDBLCLK;
        else if (event->button == GDK_BUTTON_SECONDARY && event->type == GDK_BUTTON_RELEASE)
            mouseMessage = WM_RBUTTONUP;
        if (mouseMessage && icon.callbackMessage)
            post(icon.owner, icon.callbackMessage, icon.id, static_cast<LParam>(mouseMessage));
        return FALSE;
    }

    std::map<Key, std::unique_ptr<Icon>> icons_;
};

} // namespace

std::unique_ptr<TrayArea> makeStatusIconTray() { return std::make_unique<StatusIconTray>(); }

} // namespace platform::gtk
