#include "web_browser2.h"

#include "platform/resources.h"

bool CWebBrowser2::Create(platform::Handle parent, const platform::Rect& rect, int controlId)
{
    return m_control.create(parent, controlId, rect, true);
}

void CWebBrowser2::SetSilent(bool silent) { m_control.setSilent(silent); }

void CWebBrowser2::Navigate(const std::string& url) { m_control.navigate(url); }

void CallPageFunction(CWebBrowser2& browser, const std::string& name, const std::vector<std::string>& args,
                      PageResult done)
{
    // Engines take arguments last first.
    const std::vector<std::string> engineOrder(args.rbegin(), args.rend());
    platform::CallCompletion completion;
    if (done) {
        completion = [done = std::move(done)](const platform::CallResult& result) {
            if (result.status == platform::CallStatus::Ok)
                done(true, result.text.value_or(std::string()));
            else
                done(false, std::string());
        };
    }
    browser.control().callFunction(name, engineOrder, std::move(completion));
}

bool NavigateResource(CWebBrowser2& browser, int id)
{
    const std::string& module = platform::currentResourceModule().path();
    if (module.empty())
        return false;
    browser.Navigate("res://" + module + "/" + std::to_string(id));
    return true;
}
