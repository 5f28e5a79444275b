#pragma once
// A popup that shows one packet in a browser: a note from the server (it fades in above the
// taskbar, may sound an alert and closes after P-CLOSESEC seconds), the read viewer beside the
// main window, or a page a packet opens (the calendar). The packet's P-WND picks the page,
// the size and the place.

#include "layered_window_helper_st.h"
#include "packet.h"
#include "platform/window.h"
#include "web_browser2.h"

#include <memory>
#include <string>

class COrvaneApp;

class CMyWebWnd : public platform::Window {
public:
    static constexpr int kBrowserId = 90002;
    // Serial numbers from this one up belong to windows that are not notes; only they can be
    // dragged by their top strip.
    static constexpr int kFirstViewerSerial = 30000;

    explicit CMyWebWnd(COrvaneApp& app);
    ~CMyWebWnd() override;

    // Creates the window hidden and off-screen, owned by `parent`.
    bool Create(platform::Handle parent);
    // Shows a packet as a new note or page window: placed 100 ms later.
    void ShowPacket(const std::string& packet);
    // Shows a list row's packet in the read viewer: reloads the page and places the viewer again.
    void ShowReadPacket(const std::string& packet);

    platform::Handle BrowserHandle() const { return m_browser.handle(); }

    int m_nSerial = 0;

protected:
    platform::LResult onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override;
    bool preTranslateMessage(const platform::Message& message) override;

private:
    int OnCreate();
    void OnSize();
    void OnTimer(std::uintptr_t id);
    void Place();
    void PlaceReadViewer();
    void FadeIn();
    void HandOverPacket();

    COrvaneApp& m_app;
    std::unique_ptr<Packet> m_pPacket;
    CWebBrowser2 m_browser;
    int m_nTitleHeight = 41;
    CLayeredWindowHelperST m_layered;
    int m_nAlphaPercent = 10;
};
