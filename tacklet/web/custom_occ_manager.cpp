#include "custom_occ_manager.h"

#include "custom_control_site.h"

std::unique_ptr<platform::BrowserHost> CCustomOccManager::createHost(platform::Handle)
{
    return std::make_unique<CCustomControlSite>(m_bridge);
}
