#pragma once
// The program's browser control, and the two things the program does with one: load a page
// resource, and call a global function of the page.

#include "platform/browser.h"
#include "platform/types.h"

#include <functional>
#include <string>
#include <vector>

class CWebBrowser2 {
public:
    // Creates the control as a visible child of `parent` covering `rect`.
    bool Create(platform::Handle parent, const platform::Rect& rect, int controlId);
    // A silent control shows no dialog boxes of its own, script error boxes included.
    void SetSilent(bool silent);
    void Navigate(const std::string& url);
    platform::Handle handle() const { return m_control.handle(); }
    platform::Browser& control() { return m_control; }

private:
    platform::Browser m_control;
};

// The outcome of a page call: `found` is false when the page had no document, no function of
// that name, or the function threw; `text` is the function's result when it returned a text,
// and empty for any other result.
using PageResult = std::function<void(bool found, const std::string& text)>;

// Calls the global script function `name` of the page in `browser` with the texts `args`, in
// order. `done`, if given, learns the outcome: at once or, with an engine in another process,
// later (never after the browser is gone).
void CallPageFunction(CWebBrowser2& browser, const std::string& name, const std::vector<std::string>& args,
                      PageResult done = {});

// Loads page resource `id` of the current resource module. False only when that module's file
// path is unknown.
bool NavigateResource(CWebBrowser2& browser, int id);
