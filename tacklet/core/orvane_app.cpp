#include "orvane_app.h"

#include "custom_occ_manager.h"
#include "imp_idispatch.h"
#include "main_frame.h"
#include "platform/browser.h"
#include "platform/dialog.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/loop.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "platform/services.h"
#include "platform/window.h"

COrvaneApp::COrvaneApp() = default;

COrvaneApp::~COrvaneApp() { ExitInstance(); }

void COrvaneApp::ShowStartupError(const std::string& text)
{
    platform::messageBox(0, text, platform::loadString(IDS_APP_TITLE), platform::Buttons::Ok);
}

bool COrvaneApp::InitInstance()
{
    // One copy per user. A second start ends without a word and leaves the first alone.
    if (m_mutex.create("TACKLETByTESSARY") != 0)
        return false;

    if (!platform::initSocketSupport()) {
        ShowStartupError(platform::loadString(IDS_SOCKETS_INIT_FAILED));
        return false;
    }
    if (!platform::startSockets(2, 2)) {
        ShowStartupError("소켓 버전이 낮습니다.1");
        return false;
    }
    if (!platform::initComponentRuntime()) {
        ShowStartupError(platform::loadString(IDS_OLE_INIT_FAILED));
        return false;
    }
    m_componentRuntime = true;

    // Every browser the program creates from now on gets the program's host, which gives its
    // pages the one script bridge as window.external.
    m_scriptBridge = std::make_unique<CImpIDispatch>(*this);
    m_occManager = std::make_unique<CCustomOccManager>(*m_scriptBridge);
    platform::setBrowserHostFactory(m_occManager.get());

    // The settings files are created when missing and never rewritten here.
    m_mainSettingsPath = GetModuleDir() + "/Orvane.ini";
    if (!FileExists(m_mainSettingsPath))
        platform::createFileIfMissing(m_mainSettingsPath);
    m_resourceSettingsPath = GetModuleDir() + "/Tacklet.ini";
    if (!FileExists(m_resourceSettingsPath))
        platform::createFileIfMissing(m_resourceSettingsPath);

    m_alarm = platform::profileInt(kMainSettingsSection, "ALARM", 1, m_mainSettingsPath);

    auto frame = std::make_unique<CMainFrame>(*this);
    if (!frame->Create())
        return false;
    m_mainFrame = std::move(frame);
    m_mainWindow = m_mainFrame->handle();
    platform::showWindow(m_mainFrame->handle(), platform::Show::Hide);
    return true;
}

int COrvaneApp::ExitInstance()
{
    m_mainFrame.reset();
    m_mainWindow = 0;
    if (m_occManager) {
        platform::setBrowserHostFactory(nullptr);
        m_occManager.reset();
    }
    if (m_componentRuntime) {
        platform::endComponentRuntime();
        m_componentRuntime = false;
    }
    return 0;
}

int COrvaneApp::Run()
{
    if (!InitInstance()) {
        ExitInstance();
        return 1;
    }
    const int code = platform::run();
    ExitInstance();
    return code;
}

void COrvaneApp::OnAppAbout() { platform::showDialog(IDD_ABOUTBOX, m_mainWindow); }

void COrvaneApp::LoadResourceDll(const std::string& path)
{
    ::LoadResourceDll(m_resourceLibrary, m_mainFrame ? m_mainFrame->handle() : 0, path);
}
