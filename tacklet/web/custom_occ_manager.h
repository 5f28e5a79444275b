#pragma once
// Gives every browser control the program creates its own CCustomControlSite, all of them
// sharing the one script bridge.

#include "platform/browser.h"

#include <memory>

class CImpIDispatch;

class CCustomOccManager final : public platform::BrowserHostFactory {
public:
    explicit CCustomOccManager(CImpIDispatch& bridge) : m_bridge(bridge) {}

    std::unique_ptr<platform::BrowserHost> createHost(platform::Handle browser) override;

private:
    CImpIDispatch& m_bridge;
};
