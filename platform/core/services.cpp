// The layer's entry points that the backend answers: start-up services, dialogs, programs, the
// tray, sounds, folders.

#include "context.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/services.h"
#include "platform/sound.h"
#include "platform/tray.h"

namespace platform {

namespace {
Backend& backend() { return Context::current().backend(); }
} // namespace

bool initSocketSupport() { return backend().initSocketSupport(); }
bool startSockets(int major, int minor) { return backend().startSockets(major, minor); }
bool initComponentRuntime() { return backend().initComponentRuntime(); }
void endComponentRuntime() { backend().endComponentRuntime(); }

int messageBox(Handle owner, const std::string& text, const std::string& caption, Buttons buttons)
{
    return backend().messageBox(owner, text, caption, buttons);
}

std::uint32_t startProgram(const std::string& commandLine, bool showWindow)
{
    return backend().startProgram(commandLine, showWindow);
}

std::uint32_t startElevated(const std::string& file, const std::string& params)
{
    return backend().startElevated(file, params);
}

std::uint32_t openWithDesktop(const std::string& target) { return backend().openWithDesktop(target); }

int osMajorVersion() { return backend().osMajorVersion(); }

bool notifyIcon(NotifyAction action, const NotifyIconData& data) { return backend().notifyIcon(action, data); }

void playSound(std::string_view wave) { backend().playSound(wave); }

std::string modulePath() { return backend().folders().modulePath; }
std::string windowsFolder() { return backend().folders().windowsFolder; }

std::string systemFolder()
{
    const std::string folder = backend().folders().systemFolder;
    createDirectory(folder);
    return folder;
}

std::string desktopFolder()
{
    const std::string folder = backend().folders().desktopFolder;
    createDirectory(folder);
    return folder;
}

} // namespace platform
