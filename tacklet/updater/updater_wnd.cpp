#include "updater_wnd.h"

#include "launcher.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/text.h"
#include "update_actions.h"

#include <cstdint>

namespace {
constexpr const char* kInstructionAgent = "TACKLET SESSION";
constexpr const char* kItemOpen = "<PKT>";
constexpr const char* kItemClose = "</PKT>";
// Instruction lists are a few kilobytes; anything far larger is not one, and nested blocks
// overlap, so both the text and the items cut from it are bounded.
constexpr std::size_t kMaxInstructionText = 1 << 20;
constexpr std::size_t kMaxItemBytes = 8 << 20;
} // namespace

std::string UpdateInstructionUrl() { return "http://" TACKLET_WEB_HOST "/tackletSetup.aspx"; }

CUpdaterWnd::CUpdaterWnd(COrvaneApp& app) : m_app(app) {}

std::string CUpdaterWnd::FetchText(const std::string& url) const
{
    const UrlParts parts = SplitUrl(url);
    platform::HttpGetRequest request;
    request.agent = kInstructionAgent;
    request.host = parts.host;
    request.path = parts.path;
    std::string body;
    platform::HttpGetHandlers handlers;
    handlers.onStatus = [](int status) { return status == 200; };
    bool tooLarge = false;
    handlers.onBlock = [&body, &tooLarge](const char* data, std::size_t size) {
        if (body.size() + size > kMaxInstructionText) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return true;
    };
    // A transfer that breaks off still gives what had arrived; an oversized one gives nothing.
    platform::httpGet(request, handlers);
    return tooLarge ? std::string() : platform::sanitizeUtf8(body);
}

std::vector<Packet> CUpdaterWnd::CutItems(const std::string& text)
{
    std::vector<Packet> items;
    std::size_t itemBytes = 0;
    for (auto open = text.find(kItemOpen); open != std::string::npos; open = text.find(kItemOpen, open + 1)) {
        const auto close = text.find(kItemClose, open);
        // No later "<PKT>" can have a "</PKT>" after it either.
        if (close == std::string::npos)
            break;
        itemBytes += close - open;
        if (itemBytes > kMaxItemBytes)
            break;
        items.emplace_back(text.substr(open, close + std::char_traits<char>::length(kItemClose) - open));
    }
    return items;
}

std::string CUpdaterWnd::GetUpdateTarget(const Packet& item) const
{
    if (item.GetTag("TYPE") != "FILE")
        return "";
    const auto folder = KeywordFolder(item.GetTag("DIR"));
    if (!folder)
        return "";
    const auto path = ItemPath(*folder, item.GetTag("FILE"));
    if (!path)
        return "";
    if (!FileExists(*path))
        return *path;
    // The server writes the CRC-32 as a signed 32-bit decimal number.
    const std::string expected = item.GetTag("CRC");
    std::uint32_t crc = 0;
    if (!expected.empty() && GetFileCrc32(*path, crc) == 0 && crc != static_cast<std::uint32_t>(DecimalToInt(expected)))
        return *path;
    return "";
}

void CUpdaterWnd::Update(const std::string& url)
{
    m_strUrl = url;
    const std::string text = FetchText(m_strUrl);
    if (text.empty())
        return;
    const std::vector<Packet> items = CutItems(text);
    if (items.empty())
        return;

    for (const Packet& item : items) {
        const std::string target = GetUpdateTarget(item);
        if (target.empty())
            continue;
        const std::string archive = target + ".zip";
        if (!Download(item.GetTag("URL"), archive))
            continue;
        UnzipTo(archive, target);
        if (item.GetTag("REG") == "Y")
            RegisterComponent(target);
        platform::deleteFile(archive);
    }

    // Every item's action runs, whether or not its file was touched above.
    for (const Packet& item : items)
        RunItemAction(m_app, item);
}
