#pragma once
// Small modal dialogs from dialog resources:
//   CAPTION <text>
//   ICON <icon resource id>
//   TEXT <line>            (one or more)
//   BUTTON <id> <caption>  (one or more)

#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DialogButton {
    int id = 0;
    std::string caption;
};

struct DialogTemplate {
    std::string caption;
    int icon = 0;
    std::vector<std::string> lines;
    std::vector<DialogButton> buttons;
};

std::optional<DialogTemplate> parseDialog(std::string_view resource);

// Shows dialog resource `id` of the current resource module modally and returns the id of the
// button that closed it (IDCANCEL when it was closed otherwise), or -1 when there is no such
// dialog.
int showDialog(int id, Handle owner);

} // namespace platform
