#include "imp_idispatch.h"

#include "orvane_app.h"
#include "packet.h"
#include "platform/loop.h"
#include "platform/window.h"

#include <memory>

namespace {

// The command codes the pages send (their script constants in the comments).
enum Command : int {
    kHide = 0,          // CONST_SW_HIDE
    kMaximize = 1,      // CONST_SW_MAXIMIZE: toggles between maximized and restored
    kMinimize = 2,      // CONST_SW_MINIMIZE
    kRestore = 3,       // CONST_SW_RESTORE
    kPage = 5,          // CONST_SW_PAGE
    kPageHide = 6,      // CONST_SW_PAGE_HIDE
    kMainShow = 7,      // CONST_SW_MAIN_SHOW
    kReadExt = 8,       // CONST_READ_EXT
    kOpenUrl = 9,       // CONST_OPEN_URL
};

} // namespace

int CImpIDispatch::memberId(std::string_view name) { return name == "jscommand" ? DISPID_JSCOMMAND : platform::kUnknownMember; }

void CImpIDispatch::invoke(int member, const std::vector<std::string>& arguments)
{
    if (member != DISPID_JSCOMMAND || arguments.empty())
        return;
    const platform::Handle main = m_app.MainWindow();
    const int code = DecimalToInt(arguments[0]);
    switch (code) {
    case kHide:
        platform::showWindow(main, platform::Show::Hide);
        return;
    case kMaximize:
        platform::showWindow(main, platform::isMaximized(main) ? platform::Show::Restore : platform::Show::Maximize);
        return;
    case kMinimize:
        platform::showWindow(main, platform::Show::Minimize);
        return;
    case kRestore:
        platform::showWindow(main, platform::Show::Restore);
        return;
    case kPage:
    case kPageHide:
    case kMainShow:
    case kReadExt:
    case kOpenUrl:
        break;
    default:
        return;
    }
    if (arguments.size() < 2)
        return;
    const std::string& parameter = arguments[1];
    if (code == kOpenUrl) {
        auto packet = std::make_unique<Packet>(parameter);
        // Once posted the packet belongs to the main window; a post that fails leaves it here.
        if (platform::post(main, WM_OPEN_PACKET, reinterpret_cast<platform::WParam>(packet.get())))
            packet.release();
        return;
    }
    static constexpr std::uint32_t kMessages[] = {WM_PAGE, WM_NOTE_CLOSED, WM_SHOW_MAIN, WM_READ_EXT};
    // A negative parameter travels sign-extended, as an int in a message parameter does.
    const auto wParam = static_cast<platform::WParam>(static_cast<std::intptr_t>(DecimalToInt(parameter)));
    platform::post(main, kMessages[code - kPage], wParam);
}
