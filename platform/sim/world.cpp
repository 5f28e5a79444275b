#include "platform/sim/world.h"

#include "../core/context.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace platform::sim {

namespace {

std::uint32_t littleEndian32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// How long a RIFF/WAVE file plays: its data chunk's size over the byte rate of its format
// chunk. 0 for anything that is not such a file, as a player would refuse it.
std::int64_t waveDurationMs(std::string_view wave)
{
    if (wave.size() < 12 || wave.substr(0, 4) != "RIFF" || wave.substr(8, 4) != "WAVE")
        return 0;
    std::uint32_t byteRate = 0;
    std::optional<std::uint64_t> dataSize;
    for (std::size_t at = 12; at + 8 <= wave.size();) {
        const std::string_view id = wave.substr(at, 4);
        const std::uint64_t size = littleEndian32(wave, at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt " && size >= 12 && body + 12 <= wave.size())
            byteRate = littleEndian32(wave, body + 8);
        else if (id == "data")
            dataSize = std::min<std::uint64_t>(size, wave.size() - body);
        at = body + static_cast<std::size_t>(std::min<std::uint64_t>(size + (size & 1), wave.size() - body));
    }
    if (!dataSize || byteRate == 0)
        return 0;
    return static_cast<std::int64_t>(*dataSize * 1000 / byteRate);
}

} // namespace

struct World::State {
    std::string root;
    std::string programName;
    Rect screen;
    std::int64_t clock = 0;
    Point cursor;
    bool opacitySupported = true;
    Handle taskbar = 0;

    std::deque<int> answers;
    std::vector<MessageBoxCall> boxes;
    std::deque<std::uint32_t> menuChoices;
    std::vector<MenuCall> menus;
    std::vector<DialogCall> dialogs;
    std::vector<Start> starts;
    std::deque<std::uint32_t> startResults;
    int osMajor = 10;
    bool failSocketSupport = false;
    bool failSockets = false;
    bool failComponentRuntime = false;
    bool componentRuntimeActive = false;
    std::vector<TrayRequest> tray;
    std::optional<NotifyIconData> icon;
    bool failTray = false;
    std::vector<Drag> drags;

    struct Browser {
        BrowserState state;
        std::map<std::string, PageFunction> functions;
    };
    const PlatformResourceTable* programResources = nullptr;
    std::map<Handle, Browser> browsers;
    std::vector<Navigation> navigations;
    std::vector<PageCall> pageCalls;
    std::vector<Sound> sounds;

    // Other threads wake the loop through this; the simulated clock itself never waits.
    std::mutex wakeMutex;
    std::condition_variable wakeCv;
    bool woken = false;

    std::unique_ptr<SimBackend> backend;
    std::unique_ptr<Context> context;
};

class World::SimBackend final : public Backend {
public:
    explicit SimBackend(State& s) : s_(s) {}

    std::int64_t now() override { return s_.clock; }

    void waitForWork(std::optional<std::int64_t> deadline) override
    {
        if (deadline) {
            // Nothing happens in between on a virtual clock: jump to the deadline.
            if (*deadline > s_.clock)
                s_.clock = *deadline;
            return;
        }
        std::unique_lock lock(s_.wakeMutex);
        s_.wakeCv.wait(lock, [this] { return s_.woken; });
        s_.woken = false;
    }

    void wake() override
    {
        {
            std::lock_guard lock(s_.wakeMutex);
            s_.woken = true;
        }
        s_.wakeCv.notify_all();
    }

    Folders folders() override
    {
        return Folders{s_.root + "/program/" + s_.programName, s_.root + "/windows", s_.root + "/windows/system32",
                       s_.root + "/desktop", s_.root + "/run"};
    }

    Rect screenRect() override { return s_.screen; }
    Point cursorPos() override { return s_.cursor; }
    bool applyOpacity(Handle, std::uint8_t) override { return s_.opacitySupported; }
    void beginDrag(Handle window, std::uintptr_t hitTest, Point p) override { s_.drags.push_back({window, hitTest, p}); }

    bool initSocketSupport() override { return !s_.failSocketSupport; }
    bool startSockets(int, int) override { return !s_.failSockets; }
    bool initComponentRuntime() override
    {
        s_.componentRuntimeActive = !s_.failComponentRuntime;
        return s_.componentRuntimeActive;
    }
    void endComponentRuntime() override { s_.componentRuntimeActive = false; }

    std::optional<std::uint32_t> trackMenu(const Menu& menu, Point at, Handle owner) override
    {
        std::optional<std::uint32_t> chosen;
        if (!s_.menuChoices.empty()) {
            chosen = s_.menuChoices.front();
            s_.menuChoices.pop_front();
        }
        s_.menus.push_back({menu, at, owner, chosen});
        return chosen;
    }

    int runDialog(const DialogTemplate& dialog, Handle owner) override
    {
        const int answer = dialog.buttons.empty() ? IDCANCEL : dialog.buttons.front().id;
        s_.dialogs.push_back({dialog, owner, answer});
        return answer;
    }

    int messageBox(Handle owner, const std::string& text, const std::string& caption, Buttons buttons) override
    {
        int answer = buttons == Buttons::Ok ? IDOK : IDYES;
        if (!s_.answers.empty()) {
            answer = s_.answers.front();
            s_.answers.pop_front();
        }
        s_.boxes.push_back({owner, text, caption, buttons, answer});
        return answer;
    }

    std::uint32_t startProgram(const std::string& commandLine, bool shown) override
    {
        s_.starts.push_back({Start::Kind::Program, commandLine, "", shown});
        const auto args = splitCommandLine(commandLine);
        return result(args.empty() ? std::string() : args.front());
    }

    std::uint32_t startElevated(const std::string& file, const std::string& params) override
    {
        s_.starts.push_back({Start::Kind::Elevated, file, params, true});
        return result(file);
    }

    std::uint32_t openWithDesktop(const std::string& target) override
    {
        s_.starts.push_back({Start::Kind::Desktop, target, "", true});
        return scripted().value_or(0);
    }

    int osMajorVersion() override { return s_.osMajor; }

    bool notifyIcon(NotifyAction action, const NotifyIconData& data) override
    {
        s_.tray.push_back({action, data});
        if (s_.failTray)
            return false;
        switch (action) {
        case NotifyAction::Add:
            if (s_.icon)
                return false;
            s_.icon = data;
            break;
        case NotifyAction::Modify:
            if (!s_.icon)
                return false;
            if (data.flags & NIF_ICON)
                s_.icon->icon = data.icon;
            if (data.flags & NIF_TIP)
                s_.icon->tip = data.tip;
            if (data.flags & NIF_MESSAGE)
                s_.icon->callbackMessage = data.callbackMessage;
            break;
        case NotifyAction::Delete:
            if (!s_.icon)
                return false;
            s_.icon.reset();
            break;
        }
        return true;
    }

    void browserCreated(Handle browser) override { s_.browsers[browser]; }
    void browserDestroyed(Handle browser) override { s_.browsers.erase(browser); }

    void browserNavigate(Handle browser, const std::string& url) override
    {
        Navigation navigation{browser, url, "", "", 0, s_.clock};
        if (auto content = s_.context->resolveResource(browser, url)) {
            navigation.modulePath = content->modulePath;
            navigation.type = content->type;
            navigation.id = content->id;
        }
        s_.navigations.push_back(navigation);
        if (auto it = s_.browsers.find(browser); it != s_.browsers.end())
            it->second.state.documentReady = true;
    }

    void browserSetSilent(Handle browser, bool silent) override { s_.browsers[browser].state.silent = silent; }
    void browserSetHostUi(Handle browser, const BrowserHostUi& ui) override { s_.browsers[browser].state.hostUi = ui; }
    void browserSetExternal(Handle browser, ExternalObject* external) override
    {
        s_.browsers[browser].state.external = external;
    }

    // The page answers at once, as the test has defined it.
    void browserCall(Handle browser, const std::string& name, const std::vector<std::string>& arguments,
                     CallCompletion done) override
    {
        const std::vector<std::string> scriptOrder(arguments.rbegin(), arguments.rend());
        const std::size_t index = s_.pageCalls.size();
        s_.pageCalls.push_back({browser, name, scriptOrder, s_.clock, CallStatus::NoDocument});
        CallResult result;
        auto it = s_.browsers.find(browser);
        if (it != s_.browsers.end() && it->second.state.documentReady) {
            auto fn = it->second.functions.find(name);
            if (fn == it->second.functions.end()) {
                result.status = CallStatus::NoFunction;
            } else {
                // A copy: the page function may redefine the page or destroy the browser.
                const PageFunction function = fn->second;
                const PageValue value = function(scriptOrder);
                result.status = value.kind == PageValue::Kind::Throws ? CallStatus::Threw : CallStatus::Ok;
                if (value.kind == PageValue::Kind::Text)
                    result.text = value.text;
            }
        }
        s_.pageCalls[index].status = result.status;
        done(result);
    }

    void playSound(std::string_view wave) override
    {
        if (!s_.sounds.empty()) {
            Sound& last = s_.sounds.back();
            if (!last.cutOffAt && s_.clock < last.start + last.durationMs)
                last.cutOffAt = s_.clock;
        }
        s_.sounds.push_back({programWave(wave), s_.clock, waveDurationMs(wave), std::nullopt});
    }

private:
    int programWave(std::string_view wave) const
    {
        if (!s_.programResources)
            return 0;
        for (std::size_t i = 0; i < s_.programResources->count; ++i) {
            const PlatformResource& entry = s_.programResources->entries[i];
            if (std::strcmp(entry.type, "WAVE") == 0 &&
                std::string_view(reinterpret_cast<const char*>(entry.data), entry.size) == wave)
                return entry.id;
        }
        return 0;
    }

    std::optional<std::uint32_t> scripted()
    {
        if (s_.startResults.empty())
            return std::nullopt;
        const std::uint32_t code = s_.startResults.front();
        s_.startResults.pop_front();
        return code;
    }

    std::uint32_t result(const std::string& program)
    {
        if (auto code = scripted())
            return *code;
        return fileExists(program) ? 0 : ERROR_FILE_NOT_FOUND;
    }

    State& s_;
};

World::World() : World(Options{}) {}

World::World(Options options) : state_(std::make_unique<State>())
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "simworld-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    state_->root = pattern;
    state_->programName = options.programName;
    state_->programResources = options.programResources;
    state_->screen = options.screen;
    fs::create_directories(state_->root + "/program");
    fs::create_directories(state_->root + "/windows/temp");
    state_->backend = std::make_unique<SimBackend>(*state_);
    state_->context = std::make_unique<Context>(*state_->backend, options.programResources);
}

World::~World()
{
    state_->context.reset();
    std::error_code ignored;
    std::filesystem::remove_all(state_->root, ignored);
}

const std::string& World::root() const { return state_->root; }
std::string World::programFolder() const { return state_->root + "/program"; }
std::string World::modulePath() const { return programFolder() + "/" + state_->programName; }
platform::Context& World::context() { return *state_->context; }

std::int64_t World::now() const { return state_->clock; }

void World::runUntilIdle()
{
    while (context().dispatchReady()) {
    }
}

void World::advance(std::int64_t ms)
{
    const std::int64_t target = state_->clock + ms;
    runUntilIdle();
    for (;;) {
        auto next = context().nextDeadline();
        if (!next || *next > target)
            break;
        if (*next > state_->clock)
            state_->clock = *next;
        runUntilIdle();
    }
    state_->clock = target;
    runUntilIdle();
}

bool World::advanceUntil(const std::function<bool()>& done, std::int64_t maxMs, std::int64_t stepMs,
                         std::chrono::milliseconds realWait)
{
    const std::int64_t end = state_->clock + maxMs;
    runUntilIdle();
    while (!done()) {
        if (state_->clock >= end)
            return false;
        {
            std::unique_lock lock(state_->wakeMutex);
            state_->wakeCv.wait_for(lock, realWait, [this] { return state_->woken; });
            state_->woken = false;
        }
        advance(std::min(stepMs, end - state_->clock));
    }
    return true;
}

void World::setScreen(const Rect& screen) { state_->screen = screen; }

Handle World::placeTaskbar(const Rect& rect)
{
    removeTaskbar();
    state_->taskbar = context().createPseudoWindow("Shell_TrayWnd", "", rect);
    return state_->taskbar;
}

void World::removeTaskbar()
{
    if (state_->taskbar)
        context().destroyWindow(state_->taskbar);
    state_->taskbar = 0;
}

void World::setCursor(Point p) { state_->cursor = p; }
void World::setOpacitySupported(bool supported) { state_->opacitySupported = supported; }
const std::vector<World::Drag>& World::drags() const { return state_->drags; }

void World::answerMessageBoxes(std::initializer_list<int> answers)
{
    state_->answers.insert(state_->answers.end(), answers.begin(), answers.end());
}
const std::vector<World::MessageBoxCall>& World::messageBoxes() const { return state_->boxes; }

void World::chooseMenuItems(std::initializer_list<std::uint32_t> ids)
{
    state_->menuChoices.insert(state_->menuChoices.end(), ids.begin(), ids.end());
}
const std::vector<World::MenuCall>& World::menus() const { return state_->menus; }
const std::vector<World::DialogCall>& World::dialogs() const { return state_->dialogs; }

const std::vector<World::Start>& World::starts() const { return state_->starts; }
void World::failNextStart(std::uint32_t code) { state_->startResults.push_back(code); }
void World::setOsMajorVersion(int major) { state_->osMajor = major; }

void World::failSocketSupport() { state_->failSocketSupport = true; }
void World::failSockets() { state_->failSockets = true; }
void World::failComponentRuntime() { state_->failComponentRuntime = true; }
bool World::componentRuntimeActive() const { return state_->componentRuntimeActive; }

const std::vector<World::TrayRequest>& World::trayRequests() const { return state_->tray; }
std::optional<NotifyIconData> World::trayIcon() const { return state_->icon; }
void World::failTray(bool fail) { state_->failTray = fail; }

bool World::clickTray(std::uint32_t mouseMessage)
{
    if (!state_->icon || !(state_->icon->flags & NIF_MESSAGE))
        return false;
    return context().post(state_->icon->window, state_->icon->callbackMessage, state_->icon->id, mouseMessage);
}

const std::vector<World::Navigation>& World::navigations() const { return state_->navigations; }

std::vector<World::Navigation> World::navigations(Handle browser) const
{
    std::vector<Navigation> of;
    for (const Navigation& n : state_->navigations)
        if (n.browser == browser)
            of.push_back(n);
    return of;
}

void World::definePageFunction(Handle browser, const std::string& name, PageFunction function)
{
    auto it = state_->browsers.find(browser);
    if (it == state_->browsers.end()) {
        std::fprintf(stderr, "sim: page function %s defined for %#lx, which is no browser\n", name.c_str(),
                     static_cast<unsigned long>(browser));
        std::abort();
    }
    it->second.functions[name] = std::move(function);
}

void World::setDocumentReady(Handle browser, bool ready)
{
    if (auto it = state_->browsers.find(browser); it != state_->browsers.end())
        it->second.state.documentReady = ready;
}

const std::vector<World::PageCall>& World::pageCalls() const { return state_->pageCalls; }

std::vector<World::PageCall> World::pageCalls(Handle browser, std::string_view function) const
{
    std::vector<PageCall> of;
    for (const PageCall& call : state_->pageCalls)
        if (call.browser == browser && call.function == function)
            of.push_back(call);
    return of;
}

World::ExternalCall World::callExternal(Handle browser, const std::string& name,
                                        const std::vector<std::string>& arguments)
{
    auto it = state_->browsers.find(browser);
    ExternalObject* external = it == state_->browsers.end() ? nullptr : it->second.state.external;
    if (!external)
        return ExternalCall::NoExternal;
    const int member = external->memberId(name);
    if (member == kUnknownMember)
        return ExternalCall::UnknownName;
    external->invoke(member, std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    return ExternalCall::Invoked;
}

std::optional<World::BrowserState> World::browser(Handle browser) const
{
    auto it = state_->browsers.find(browser);
    if (it == state_->browsers.end())
        return std::nullopt;
    return it->second.state;
}

std::optional<ResourceContent> World::resolveResource(Handle browser, std::string_view url)
{
    return context().resolveResource(browser, url);
}

void World::leftButtonDown(Handle window, Point client)
{
    context().deliverInput(window, WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(client.x, client.y));
}

const std::vector<World::Sound>& World::sounds() const { return state_->sounds; }

} // namespace platform::sim
