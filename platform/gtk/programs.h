#pragma once
// Starting other programs on a Linux desktop: without a shell, elevated through polkit, and with
// the desktop's default application.

#include <cstdint>
#include <string>

namespace platform::gtk {

// Splits the command line as Windows programs do and starts it without waiting. 0, or the error
// code (ERROR_FILE_NOT_FOUND for a missing program).
std::uint32_t spawnCommandLine(const std::string& commandLine);

// Starts `file` through pkexec with `params` split into arguments. Returns once the desktop has
// decided: 0 when the program was started, ERROR_CANCELLED when authorisation was declined or
// failed, ERROR_FILE_NOT_FOUND when `file` does not exist, ERROR_NOT_SUPPORTED without pkexec.
// While the authorisation dialog is up, the GUI thread keeps handling events, messages and
// timers, as it does for a modal dialog.
std::uint32_t spawnElevated(const std::string& file, const std::string& params);

// Opens a document or address with xdg-open. A target naming the old web browser, such as
// "iexplore.exe http://host/page", opens the address in the default browser.
std::uint32_t openWithDefaultApplication(const std::string& target);

} // namespace platform::gtk
