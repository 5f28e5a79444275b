#include "custom_control_site.h"

#include "imp_idispatch.h"

// The page background is all the program's windows are drawn with: a menu there ("back",
// "view source" ...) would only break the illusion of a native window.
bool CCustomControlSite::handlesContextMenu(platform::PageElement element) { return element == platform::PageElement::Background; }

void CCustomControlSite::hostInfo(platform::HostUiInfo& info)
{
    info.flags = platform::kHostUiNo3DBorder;
    info.doubleClick = platform::kHostUiDoubleClickDefault;
}

platform::ExternalObject* CCustomControlSite::external() { return &m_bridge; }
