#pragma once
// The program's host of one browser control: no sunken border, the page's own context menu
// only where it helps (over images, links, fields and selected text, not on the background),
// and the program's script bridge as the page's `window.external`.

#include "platform/browser.h"

class CImpIDispatch;

class CCustomControlSite final : public platform::BrowserHost {
public:
    explicit CCustomControlSite(CImpIDispatch& bridge) : m_bridge(bridge) {}

    bool handlesContextMenu(platform::PageElement element) override;
    void hostInfo(platform::HostUiInfo& info) override;
    platform::ExternalObject* external() override;

private:
    CImpIDispatch& m_bridge;
};
