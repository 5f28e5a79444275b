#pragma once
// Modal message boxes.

#include "platform/types.h"

#include <string>

namespace platform {

enum class Buttons { Ok, YesNo };

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows a modal message box and returns the button chosen (IDOK, IDYES or IDNO).
int messageBox(Handle owner, const std::string& text, const std::string& caption, Buttons buttons);

} // namespace platform
