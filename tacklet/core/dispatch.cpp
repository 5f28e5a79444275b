// What the frame does with each packet the server sends.

#include "main_frame.h"

#include "launcher.h"
#include "my_web_wnd.h"
#include "orvane_app.h"
#include "platform/desktop.h"
#include "platform/loop.h"
#include "platform/profile.h"

namespace {
constexpr std::uint32_t kUpdateDelay = 2000;
constexpr int kDefaultPageSize = 5;
constexpr std::size_t kMaxResourcePath = 1024;
} // namespace

void CMainFrame::Dispatch(const char* bytes, std::size_t length)
{
    // Decoded per complete packet, so a character split across two reads arrives whole.
    Packet packet;
    packet.FromUtf8(bytes, length);
    switch (packet.GetTagInt("GBN")) {
    case PKT_VER:
        DispatchVersion(packet);
        break;
    case PKT_MSG:
        DispatchNote(packet);
        break;
    case PKT_BNR:
        DispatchBanner(packet);
        break;
    case PKT_CALL:
        DispatchCall(packet);
        break;
    default:
        break;
    }
}

void CMainFrame::DispatchVersion(const Packet& packet)
{
    const std::string& settings = m_app.MainSettingsPath();
    platform::writeProfileString(kMainSettingsSection, "ID", packet.GetTag("SEQ"), settings);
    platform::writeProfileString(kMainSettingsSection, "CP", packet.GetTag("CP"), settings);
    const std::string version = packet.GetTag("VER");
    m_nWidth = packet.GetTagInt("WW");
    m_nHeight = packet.GetTagInt("HH");
    m_strBanner = packet.GetTag("BNR");
    m_nPageSize = packet.GetTagInt("PGSZ");
    if (m_nPageSize == 0)
        m_nPageSize = kDefaultPageSize;

    const platform::Rect corner = CornerRect(m_nWidth, m_nHeight);
    platform::setWindowPos(handle(), platform::HWND_TOP, corner.left, corner.top, m_nWidth, m_nHeight,
                           platform::SWP_HIDEWINDOW);
    platform::showWindow(handle(), platform::Show::Hide);

    platform::setTimer(handle(), version != m_strVersion ? TIMER_UPDATE : TIMER_NO_UPDATE, kUpdateDelay);

    // A library that loads reloads the page, and the reload calls startPage.
    const std::string library = packet.GetTag("RES_DLL");
    if (FileExists(library))
        m_app.LoadResourceDll(library);
    else
        CallStartPage(true);
}

void CMainFrame::DispatchNote(const Packet& packet)
{
    auto note = std::make_unique<CMyWebWnd>(m_app);
    if (!note->Create(platform::desktopWindow()))
        return;
    note->ShowPacket(packet.GetText());
    note->m_nSerial = m_nNextSerial++;
    m_notes.push_back(std::move(note));
}

void CMainFrame::DispatchBanner(const Packet& packet)
{
    const int width = packet.GetTagInt("WW");
    const int height = packet.GetTagInt("HH");
    std::uint32_t flags = platform::SWP_NOZORDER;
    if (width == m_nWidth && height == m_nHeight) {
        flags |= platform::SWP_NOSIZE | platform::SWP_NOMOVE;
    } else {
        m_nWidth = width;
        m_nHeight = height;
    }

    CallPage("setBnr", {packet.GetTag("BNR"), packet.GetTag("PGSZ")});

    const std::string library = packet.GetTag("RES_DLL");
    const std::string& settings = m_app.ResourceSettingsPath();
    if (library != platform::profileString(kResourceSettingsSection, "RES_DLL", "", kMaxResourcePath, settings)) {
        m_app.LoadResourceDll(library);
        platform::writeProfileString(kResourceSettingsSection, "RES_DLL", library, settings);
    }

    const platform::Rect corner = CornerRect(m_nWidth, m_nHeight);
    platform::setWindowPos(handle(), 0, corner.left, corner.top, m_nWidth, m_nHeight, flags);
}

void CMainFrame::DispatchCall(const Packet& packet)
{
    std::vector<std::string> args;
    for (int i = 0; i <= 9; ++i) {
        std::string value = packet.GetTag("P" + std::to_string(i));
        if (!value.empty())
            args.push_back(std::move(value));
    }
    CallPage(packet.GetTag("FUNC"), args);
}
