#pragma once
// The Tacklet application object: admits one copy per user, checks the start-up services,
// creates the settings files and the hidden main frame, and holds the few values every part of
// the program shares.

#include "launcher.h"
#include "platform/process.h"

#include <memory>
#include <string>

class CCustomOccManager;
class CImpIDispatch;
class CMainFrame;

class COrvaneApp {
public:
    COrvaneApp();
    COrvaneApp(const COrvaneApp&) = delete;
    COrvaneApp& operator=(const COrvaneApp&) = delete;
    ~COrvaneApp();

    // Start-up; false means the process is to end (a message has been shown where one is due).
    bool InitInstance();
    int ExitInstance();
    // InitInstance, the message loop, ExitInstance: the whole life of the program.
    int Run();

    const std::string& MainSettingsPath() const { return m_mainSettingsPath; }
    const std::string& ResourceSettingsPath() const { return m_resourceSettingsPath; }
    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    // The window the pages' commands act on: the main frame once start-up has created it.
    platform::Handle MainWindow() const { return m_mainWindow; }
    void SetMainWindow(platform::Handle window) { m_mainWindow = window; }
    // The object every page reaches as window.external; it lives as long as the application.
    CImpIDispatch* ScriptBridge() const { return m_scriptBridge.get(); }

    // The about command: the about dialog, modal over the main window.
    void OnAppAbout();

    // Switches the module that supplies resources (see LoadResourceDll in launcher.h).
    void LoadResourceDll(const std::string& path);
    const ResourceLibrary& ResourceLibraryInUse() const { return m_resourceLibrary; }

    // 1 when a sound is to be played when a note arrives.
    int m_alarm = 1;
    // Height of the main list page's header, by which the main window is dragged.
    int m_topBarHeight = 41;

private:
    void ShowStartupError(const std::string& text);

    platform::NamedMutex m_mutex;
    bool m_componentRuntime = false;
    std::string m_mainSettingsPath;
    std::string m_resourceSettingsPath;
    ResourceLibrary m_resourceLibrary;
    std::unique_ptr<CImpIDispatch> m_scriptBridge;
    std::unique_ptr<CCustomOccManager> m_occManager;
    platform::Handle m_mainWindow = 0;
    std::unique_ptr<CMainFrame> m_mainFrame;
};

// Settings files, sections and the strings of the start-up messages.
inline constexpr const char* kMainSettingsSection = "Orvane";
inline constexpr const char* kResourceSettingsSection = "TACKLET";
inline constexpr int IDS_OLE_INIT_FAILED = 100;
inline constexpr int IDS_SOCKETS_INIT_FAILED = 104;
inline constexpr int IDS_APP_TITLE = 57344;
