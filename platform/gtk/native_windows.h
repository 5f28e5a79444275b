#pragma once
// The native side of the window table: every top-level window with an object gets an undecorated
// GtkWindow placed at exact screen coordinates, every child window a widget inside its parent.
// The shared table stays the truth; native windows follow it, and what the desktop does to them
// (clicks, the close button, moves by the window manager) comes back as messages and updates.

#include "platform/gtk/desktop_app.h"
#include "platform/types.h"

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

namespace platform::gtk {

class NativeWindows {
public:
    NativeWindows();
    NativeWindows(const NativeWindows&) = delete;
    NativeWindows& operator=(const NativeWindows&) = delete;
    ~NativeWindows();

    void created(Handle window);
    // Gives a child window without an object (an embedded control) `content` as its widget.
    bool adoptChild(Handle window, GtkWidget* content);
    void changed(Handle window, unsigned changes);
    void destroyed(Handle window);

    bool applyOpacity(Handle window, std::uint8_t alpha);
    void beginDrag(Handle window, std::uintptr_t hitTest, Point screenPoint);

    // The native top-level window of `window` when it is on the screen (to own a dialog).
    GtkWindow* shownTopLevel(Handle window) const;
    std::optional<NativeGeometry> geometry(Handle window) const;
    unsigned long windowId(Handle window) const;

private:
    struct Native;

    Native* find(Handle window) const;
    Native* topLevelOf(Handle window) const;
    void applyGeometry(Native& native);
    void applyVisibility(Native& native);
    void applyRegion(Native& native);
    void applyOpacityNow(Native& native);
    void applyTaskbarHints(Native& native);
    void restack(Native& native);
    void configured(Native& native, const Rect& rect);

    static gboolean onButton(GtkWidget*, GdkEventButton* event, gpointer native);
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer native);
    static gboolean onConfigure(GtkWidget*, GdkEventConfigure* event, gpointer native);
    static gboolean onMap(GtkWidget*, GdkEvent*, gpointer native);
    static gboolean onUnmap(GtkWidget*, GdkEvent*, gpointer native);

    std::unordered_map<Handle, std::unique_ptr<Native>> natives_;
    // The time of the last button event, for requests the window manager wants a time for
    // (drags, activation).
    std::uint32_t lastInputTime_ = 0;
};

} // namespace platform::gtk
