#pragma once
// The main window's only child: the browser with the main list page. The page draws the whole
// window, header included, so a left click on the header drags the main window.

#include "platform/window.h"
#include "web_browser2.h"

#include <cstdint>

class COrvaneApp;

class CChildView : public platform::Window {
public:
    static constexpr int kBrowserId = 90001;
    static constexpr int kMainListPage = 311;
    // One second after the page is loaded, the view asks it how tall its header is. The main
    // window arms this timer too when it reloads the page.
    static constexpr std::uintptr_t kTopHeightTimer = 1321;
    static constexpr std::uint32_t kTopHeightDelayMs = 1000;

    explicit CChildView(COrvaneApp& app);
    ~CChildView() override;

    // Creates the view as a visible child of `parent` covering `rect`, without a border.
    bool Create(platform::Handle parent, const platform::Rect& rect, int id);

    CWebBrowser2 m_browser;

protected:
    platform::LResult onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override;
    bool preTranslateMessage(const platform::Message& message) override;

private:
    int OnCreate();
    void ReadTopHeight();

    COrvaneApp& m_app;
};
