#pragma once
// The Tacklet main window: a borderless popup in the bottom-right corner of the screen that shows
// the main list page. Mostly hidden; the tray icon is what the user sees.

#include "platform/window.h"
#include "tray_icon.h"

#include <string>

class COrvaneApp;

class CMainFrame : public platform::Window {
public:
    explicit CMainFrame(COrvaneApp& app);
    ~CMainFrame() override;

    // Creates the window at the corner position with the initial 100 x 100 size.
    bool Create();

    // The frame's rectangle in the bottom-right corner of the work area.
    platform::Rect CornerRect(int width, int height) const;

    int m_nWidth = 100;
    int m_nHeight = 100;

protected:
    platform::LResult onMessage(std::uint32_t message, platform::WParam wParam, platform::LParam lParam) override;

private:
    int OnCreate();

    COrvaneApp& m_app;
    CTrayIcon m_trayIcon;
};

inline constexpr std::uint32_t WM_TRAY_NOTIFY = 0x0400 + 1;
