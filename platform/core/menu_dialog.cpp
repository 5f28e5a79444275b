// Menu and dialog resources: parsing, and the modal parts handed to the backend.

#include "context.h"
#include "platform/dialog.h"
#include "platform/dialogs.h"
#include "platform/loop.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/resources.h"
#include "platform/text.h"

#include <charconv>

namespace platform {

namespace {

// Splits a resource into lines of (keyword, rest), skipping blank lines and # comments.
template <typename Fn>
void forEachLine(std::string_view text, Fn&& fn)
{
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto space = line.find(' ');
        const std::string_view keyword = line.substr(0, space);
        const std::string_view rest = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (!fn(keyword, rest))
            return;
    }
}

// "<number> <text>" split into the number and the text.
bool numberAndText(std::string_view rest, long long& number, std::string& text)
{
    const auto space = rest.find(' ');
    const std::string_view digits = rest.substr(0, space);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return false;
    text = space == std::string_view::npos ? std::string() : sanitizeUtf8(rest.substr(space + 1));
    return true;
}

} // namespace

std::optional<Menu> parseMenu(std::string_view resource)
{
    Menu menu;
    bool inPopup = false;
    bool ended = false;
    bool bad = false;
    forEachLine(resource, [&](std::string_view keyword, std::string_view rest) {
        if (keyword == "POPUP" && !inPopup) {
            inPopup = true;
            menu.name = sanitizeUtf8(rest);
        } else if (keyword == "ITEM" && inPopup) {
            long long id = 0;
            MenuItem item;
            if (!numberAndText(rest, id, item.caption) || id <= 0 || id > 0xFFFF) {
                bad = true;
                return false;
            }
            item.id = static_cast<std::uint32_t>(id);
            menu.items.push_back(std::move(item));
        } else if (keyword == "SEPARATOR" && inPopup) {
            menu.items.push_back(MenuItem{0, "", true, false});
        } else if (keyword == "END" && inPopup) {
            ended = true;
            return false;
        } else {
            bad = true;
            return false;
        }
        return true;
    });
    if (bad || !ended)
        return std::nullopt;
    return menu;
}

std::optional<Menu> loadMenu(int id)
{
    const auto resource = currentResourceModule().find("MENU", id);
    return resource ? parseMenu(*resource) : std::nullopt;
}

bool checkMenuItem(Menu& menu, std::uint32_t id, bool checked)
{
    for (MenuItem& item : menu.items) {
        if (!item.separator && item.id == id) {
            item.checked = checked;
            return true;
        }
    }
    return false;
}

bool trackPopupMenu(const Menu& menu, Point at, Handle owner)
{
    const auto chosen = Context::current().backend().trackMenu(menu, at, owner);
    if (!chosen)
        return false;
    post(owner, WM_COMMAND, *chosen, 0);
    return true;
}

std::optional<DialogTemplate> parseDialog(std::string_view resource)
{
    DialogTemplate dialog;
    bool bad = false;
    forEachLine(resource, [&](std::string_view keyword, std::string_view rest) {
        long long number = 0;
        std::string text;
        if (keyword == "CAPTION") {
            dialog.caption = sanitizeUtf8(rest);
        } else if (keyword == "TEXT") {
            dialog.lines.push_back(sanitizeUtf8(rest));
        } else if (keyword == "ICON" && numberAndText(rest, number, text)) {
            dialog.icon = static_cast<int>(number);
        } else if (keyword == "BUTTON" && numberAndText(rest, number, text)) {
            dialog.buttons.push_back(DialogButton{static_cast<int>(number), text});
        } else {
            bad = true;
            return false;
        }
        return true;
    });
    if (bad)
        return std::nullopt;
    return dialog;
}

int showDialog(int id, Handle owner)
{
    const auto resource = currentResourceModule().find("DIALOG", id);
    const auto dialog = resource ? parseDialog(*resource) : std::nullopt;
    if (!dialog)
        return -1;
    return Context::current().backend().runDialog(*dialog, owner);
}

} // namespace platform
