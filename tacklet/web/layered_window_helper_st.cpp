#include "layered_window_helper_st.h"

#include "platform/window.h"

#include <algorithm>

bool CLayeredWindowHelperST::SetAlphaPercent(platform::Handle window, int percent)
{
    percent = std::clamp(percent, 20, 100);
    return platform::setWindowOpacity(window, static_cast<std::uint8_t>(percent * 255 / 100));
}

void CLayeredWindowHelperST::RemoveLayeredStyle(platform::Handle window)
{
    platform::setWindowExStyle(window, platform::windowExStyle(window) & ~platform::WS_EX_LAYERED);
    platform::redrawWindow(window);
}
