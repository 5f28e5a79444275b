#pragma once
// The object every page reaches as `window.external`. It has one method, `jscommand`, whose
// command code shows, hides, minimizes or restores the main window at once, or posts one of
// the messages below to it, so that those effects come after the calling script has returned.

#include "platform/browser.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class COrvaneApp;

// Posted to the main window; wParam as noted.
inline constexpr std::uint32_t WM_NOTE_CLOSED = 0x0400 + 2;   // a popup's serial number: close it
inline constexpr std::uint32_t WM_PAGE = 0x0400 + 8;          // a page number; no action
inline constexpr std::uint32_t WM_SHOW_MAIN = 0x0400 + 9;     // a category: show the list at it
inline constexpr std::uint32_t WM_READ_EXT = 0x0400 + 10;     // a list row: open it in the read viewer
inline constexpr std::uint32_t WM_OPEN_PACKET = 0x0400 + 11;  // a heap Packet, freed by the receiver

class CImpIDispatch final : public platform::ExternalObject {
public:
    static constexpr int DISPID_JSCOMMAND = 1;

    explicit CImpIDispatch(COrvaneApp& app) : m_app(app) {}

    // "jscommand", exactly; every other name is unknown.
    int memberId(std::string_view name) override;
    // Entry 0 is the command code, entry 1 its parameter; further entries are ignored. A code
    // without the parameter it needs does nothing.
    void invoke(int member, const std::vector<std::string>& arguments) override;

private:
    COrvaneApp& m_app;
};
