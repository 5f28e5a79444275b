#pragma once
// Opacity of a layered window, for the popups' fade-in.

#include "platform/types.h"

class CLayeredWindowHelperST {
public:
    // Sets the opacity to `percent` (taken into 20..100). False when the display cannot make the
    // window translucent.
    bool SetAlphaPercent(platform::Handle window, int percent);
    // Makes the window an ordinary, fully opaque one again.
    void RemoveLayeredStyle(platform::Handle window);
};
