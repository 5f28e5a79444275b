#pragma once
// What the web window tests share: the simulated desktop with the program's resources, the
// application after start-up, a main window standing in for the frame, and packets.

#include "tacklet_world.h"
#include "imp_idispatch.h"
#include "my_web_wnd.h"
#include "orvane_app.h"
#include "packet.h"
#include "resources.h"

#include "platform/desktop.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/sim/world.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace webtest {

// "<PKT><GBN>3</GBN><tag>value</tag>...</PKT>"
inline std::string Note(std::initializer_list<std::pair<const char*, std::string>> tags)
{
    Packet packet(PKT_MSG);
    for (const auto& [tag, value] : tags)
        packet.AddTag(tag, value);
    return packet.GetText();
}

// Stands in for the main frame: writes down the messages the script bridge posts to it, frees
// the packets that come with WM_OPEN_PACKET, and closes its popups by serial number.
class TestMainWindow : public platform::Window {
public:
    struct Posted {
        std::uint32_t message;
        int wParam;
        std::string packet;   // WM_OPEN_PACKET only
        friend bool operator==(const Posted&, const Posted&) = default;
    };

    TestMainWindow(COrvaneApp& app, const platform::Rect& rect) : m_app(app)
    {
        platform::CreateParams p;
        p.className = "TestMainWindow";
        p.style = platform::WS_POPUP;
        p.rect = rect;
        EXPECT_TRUE(create(p));
    }
    ~TestMainWindow() override
    {
        popups.clear();
        if (handle())
            platform::destroyWindow(handle());
    }

    // A popup as the frame makes one for a note: created, numbered, then given the packet.
    CMyWebWnd& Open(int serial)
    {
        popups.push_back(std::make_unique<CMyWebWnd>(m_app));
        CMyWebWnd& popup = *popups.back();
        EXPECT_TRUE(popup.Create(platform::desktopWindow()));
        popup.m_nSerial = serial;
        return popup;
    }

    std::vector<Posted> posted;
    std::vector<std::unique_ptr<CMyWebWnd>> popups;

protected:
    platform::LResult onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override
    {
        const int value = static_cast<int>(static_cast<std::intptr_t>(wParam));
        switch (message) {
        case WM_OPEN_PACKET: {
            std::unique_ptr<Packet> packet(reinterpret_cast<Packet*>(wParam));
            posted.push_back({message, 0, packet->GetText()});
            return 0;
        }
        case WM_NOTE_CLOSED:
            posted.push_back({message, value, ""});
            for (auto it = popups.begin(); it != popups.end(); ++it)
                if ((*it)->m_nSerial == value) {
                    popups.erase(it);
                    break;
                }
            return 0;
        case WM_PAGE:
        case WM_SHOW_MAIN:
        case WM_READ_EXT:
            posted.push_back({message, value, ""});
            return 0;
        default:
            return defaultHandling(message, wParam, lParam);
        }
    }

private:
    COrvaneApp& m_app;
};

// The program after start-up, with the stand-in as its main window.
struct WebTest : ::testing::Test {
    platform::sim::World world{TackletWorld()};
    COrvaneApp app;
    std::unique_ptr<TestMainWindow> main;

    static constexpr platform::Rect kMainRect{1500, 600, 1900, 1000};

    void SetUp() override
    {
        // The real frame connects too: to a port where nothing listens, not to a server that
        // may run on this machine.
        const std::string settings = world.programFolder() + "/Orvane.ini";
        platform::writeProfileString("Orvane", "IP", "127.0.0.1", settings);
        platform::writeProfileString("Orvane", "PORT", "1", settings);
        ASSERT_TRUE(app.InitInstance());
        main = std::make_unique<TestMainWindow>(app, kMainRect);
        app.SetMainWindow(main->handle());
    }

    // Acts as a popup's page: keeps the serial number it is handed and, asked to close, sends
    // the close command with it, as the popup pages do.
    void ActAsPopupPage(platform::Handle browser)
    {
        auto serial = std::make_shared<std::string>();
        using Value = platform::sim::World::PageValue;
        world.definePageFunction(browser, "setPacket", [serial](const std::vector<std::string>& args) {
            if (args.size() > 1)
                *serial = args[1];
            return Value::NonText();
        });
        world.definePageFunction(browser, "onWebExit", [this, browser, serial](const std::vector<std::string>&) {
            world.callExternal(browser, "jscommand", {*serial, "6"});
            return Value::NonText();
        });
    }
};

} // namespace webtest
