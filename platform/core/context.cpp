#include "context.h"

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/messages.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace platform {

namespace {
thread_local Context* tCurrent = nullptr;
// Worker threads have no context of their own; what they post goes to the GUI thread's.
std::atomic<Context*> gGuiContext{nullptr};
} // namespace

struct Context::Library {
    void* dl = nullptr;
    std::unique_ptr<ResourceModule> module;
};

Context::Context(Backend& backend, const PlatformResourceTable* programResources) : backend_(backend)
{
    if (tCurrent) {
        std::fprintf(stderr, "platform: a second context on one thread\n");
        std::abort();
    }
    tCurrent = this;
    gGuiContext.store(this);
    static const PlatformResourceTable kEmpty{kResourceTableVersion, 0, nullptr};
    program_ = std::make_unique<ResourceModule>(backend.folders().modulePath,
                                                programResources ? programResources : &kEmpty);
    desktop_ = createPseudoWindow("#32769", "", backend.screenRect());
    // The desktop is behind everything; it is not part of the z-order of top-level windows.
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), desktop_), zOrder_.end());
}

Context::~Context()
{
    // Destroy what is left, children with their parents, so objects learn that their handle is gone.
    for (Handle h : windows())
        if (records_.count(h) && !records_.at(h)->isChild())
            destroyWindow(h);
    for (auto& library : libraries_)
        if (library->dl)
            dlclose(library->dl);
    Context* self = this;
    gGuiContext.compare_exchange_strong(self, nullptr);
    tCurrent = nullptr;
}

Context& Context::current()
{
    if (!tCurrent) {
        std::fprintf(stderr, "platform: no context on this thread\n");
        std::abort();
    }
    return *tCurrent;
}

Context* Context::currentOrNull() { return tCurrent; }

Context* Context::forPosting() { return tCurrent ? tCurrent : gGuiContext.load(); }

// ---------------------------------------------------------------------------------------------
// Windows

Handle Context::createWindow(const CreateParams& params, Window* object)
{
    if ((params.style & WS_CHILD) && !find(params.parent))
        return 0;
    auto record = std::make_unique<WindowRecord>();
    record->handle = nextHandle_++;
    record->object = object;
    record->className = params.className;
    record->title = params.title;
    record->style = params.style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    record->exStyle = params.exStyle;
    record->rect = params.rect;
    record->normalRect = params.rect;
    record->parent = params.parent;
    record->controlId = params.controlId;
    record->topmost = (params.exStyle & WS_EX_TOPMOST) != 0;
    const Handle handle = record->handle;
    const bool child = record->isChild();
    records_.emplace(handle, std::move(record));
    {
        std::lock_guard lock(queueMutex_);
        live_.insert(handle);
    }
    if (!child)
        placeInZOrder(handle, HWND_TOP);
    backend_.windowCreated(handle);
    return handle;
}

Handle Context::createPseudoWindow(const std::string& className, const std::string& title, const Rect& rect)
{
    CreateParams params;
    params.className = className;
    params.title = title;
    params.style = WS_POPUP;
    params.rect = rect;
    const Handle handle = createWindow(params, nullptr);
    find(handle)->visible = true;
    return handle;
}

WindowRecord* Context::find(Handle handle)
{
    auto it = records_.find(handle);
    return it == records_.end() ? nullptr : it->second.get();
}

std::vector<Handle> Context::windows() const
{
    std::vector<Handle> all;
    all.reserve(records_.size());
    for (const auto& [handle, record] : records_)
        all.push_back(handle);
    std::sort(all.begin(), all.end());
    return all;
}

void Context::detachObject(Handle handle)
{
    if (WindowRecord* record = find(handle))
        record->object = nullptr;
}

bool Context::destroyWindow(Handle handle)
{
    WindowRecord* record = find(handle);
    if (!record || record->destroying || handle == desktop_)
        return false;
    record->destroying = true;
    send(handle, WM_DESTROY, 0, 0);
    // Children and owned windows go with their parent or owner.
    for (Handle other : windows()) {
        WindowRecord* r = find(other);
        if (r && r->parent == handle)
            destroyWindow(other);
    }
    send(handle, WM_NCDESTROY, 0, 0);
    record = find(handle);
    Window* object = record->object;
    removeTimersOf(handle);
    {
        std::lock_guard lock(queueMutex_);
        live_.erase(handle);
        std::erase_if(queue_, [handle](const Posted& p) { return p.window == handle; });
    }
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), handle), zOrder_.end());
    if (foreground_ == handle)
        foreground_ = 0;
    if (focus_ == handle)
        focus_ = 0;
    if (auto browser = browsers_.find(handle); browser != browsers_.end()) {
        backend_.browserDestroyed(handle);
        browsers_.erase(browser);
    }
    backend_.windowDestroyed(handle);
    records_.erase(handle);
    if (object) {
        object->handle_ = 0;
        object->onDestroyed();
    }
    return true;
}

void Context::placeInZOrder(Handle handle, Handle insertAfter)
{
    WindowRecord* record = find(handle);
    if (!record || record->isChild() || handle == desktop_)
        return;
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), handle), zOrder_.end());
    auto firstNonTopmost = [this] {
        return std::find_if(zOrder_.begin(), zOrder_.end(), [this](Handle h) { return !find(h)->topmost; });
    };
    if (insertAfter == HWND_TOPMOST) {
        record->topmost = true;
        zOrder_.insert(zOrder_.begin(), handle);
    } else if (insertAfter == HWND_NOTOPMOST) {
        record->topmost = false;
        zOrder_.insert(firstNonTopmost(), handle);
    } else if (insertAfter == HWND_BOTTOM) {
        record->topmost = false;
        zOrder_.push_back(handle);
    } else if (insertAfter == HWND_TOP || !find(insertAfter) || find(insertAfter)->isChild()) {
        zOrder_.insert(record->topmost ? zOrder_.begin() : firstNonTopmost(), handle);
    } else {
        // Directly behind another window; a window behind a plain one loses its topmost place.
        if (!find(insertAfter)->topmost)
            record->topmost = false;
        auto it = std::find(zOrder_.begin(), zOrder_.end(), insertAfter);
        zOrder_.insert(it == zOrder_.end() ? zOrder_.end() : it + 1, handle);
    }
    if (record->topmost)
        record->exStyle |= WS_EX_TOPMOST;
    else
        record->exStyle &= ~WS_EX_TOPMOST;
}

void Context::bringToFront(Handle handle) { placeInZOrder(handle, HWND_TOP); }

void Context::setForeground(Handle handle)
{
    if (foreground_ == handle)
        return;
    const Handle previous = foreground_;
    foreground_ = handle;
    if (previous && find(previous))
        backend_.windowChanged(previous, kChangeActivation);
    if (handle)
        backend_.windowChanged(handle, kChangeActivation);
}

// ---------------------------------------------------------------------------------------------
// Messages and timers

bool Context::post(Handle window, std::uint32_t message, WParam wParam, LParam lParam)
{
    {
        std::lock_guard lock(queueMutex_);
        if (!live_.count(window))
            return false;
        queue_.push_back(Posted{window, message, wParam, lParam});
    }
    backend_.wake();
    return true;
}

LResult Context::send(Handle window, std::uint32_t message, WParam wParam, LParam lParam)
{
    WindowRecord* record = find(window);
    if (!record || !record->object)
        return 0;
    return record->object->onMessage(message, wParam, lParam);
}

void Context::deliverInput(Handle target, std::uint32_t message, WParam wParam, LParam lParam)
{
    const Message input{target, message, wParam, lParam};
    for (Handle h = target; h != 0;) {
        // A window may go away while it pre-translates; the walk then ends with it.
        WindowRecord* record = find(h);
        if (!record)
            return;
        if (record->object && record->object->preTranslateMessage(input))
            return;
        h = record->isChild() ? record->parent : 0;
    }
    send(target, message, wParam, lParam);
}

bool Context::hasPostedMessages() const
{
    std::lock_guard lock(queueMutex_);
    return !queue_.empty();
}

bool Context::dispatchPosted()
{
    bool any = false;
    for (;;) {
        Posted next;
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty())
                return any;
            next = queue_.front();
            queue_.pop_front();
        }
        any = true;
        send(next.window, next.message, next.wParam, next.lParam);
        if (quit_ && runDepth_ > 0)
            return any;
    }
}

bool Context::setTimer(Handle window, std::uintptr_t id, std::uint32_t periodMs)
{
    if (!find(window))
        return false;
    // Like the desktop's own timers, none fires more often than every 10 ms; this also keeps a
    // 0 ms timer from starving the loop.
    constexpr std::uint32_t kMinimumPeriod = 10;
    Timer& timer = timers_[{window, id}];
    timer.period = periodMs < kMinimumPeriod ? kMinimumPeriod : periodMs;
    timer.deadline = backend_.now() + timer.period;
    timer.order = timerOrder_++;
    return true;
}

bool Context::killTimer(Handle window, std::uintptr_t id) { return timers_.erase({window, id}) > 0; }

bool Context::hasTimer(Handle window, std::uintptr_t id) const { return timers_.count({window, id}) > 0; }

void Context::removeTimersOf(Handle handle)
{
    std::erase_if(timers_, [handle](const auto& entry) { return entry.first.first == handle; });
}

std::optional<std::int64_t> Context::nextDeadline() const
{
    std::optional<std::int64_t> next;
    for (const auto& [key, timer] : timers_)
        if (!next || timer.deadline < *next)
            next = timer.deadline;
    return next;
}

bool Context::dispatchDueTimers()
{
    bool any = false;
    const std::int64_t now = backend_.now();
    // Only timers armed before this round fire in it, so one that is re-armed waits for the next.
    const std::uint64_t roundStart = timerOrder_;
    for (;;) {
        const std::pair<Handle, std::uintptr_t>* dueKey = nullptr;
        const Timer* due = nullptr;
        for (const auto& [key, timer] : timers_) {
            if (timer.deadline > now || timer.order >= roundStart)
                continue;
            if (!due || timer.deadline < due->deadline || (timer.deadline == due->deadline && timer.order < due->order)) {
                due = &timer;
                dueKey = &key;
            }
        }
        if (!due)
            return any;
        const auto key = *dueKey;
        Timer& timer = timers_[key];
        timer.deadline = now + timer.period;
        timer.order = timerOrder_++;
        any = true;
        send(key.first, WM_TIMER, key.second, 0);
        if (quit_ && runDepth_ > 0)
            return any;
        dispatchPosted();
    }
}

bool Context::dispatchReady()
{
    bool any = dispatchPosted();
    if (!(quit_ && runDepth_ > 0))
        any = dispatchDueTimers() || any;
    return any;
}

int Context::run()
{
    ++runDepth_;
    quit_ = false;
    while (!quit_) {
        dispatchReady();
        if (quit_ || hasPostedMessages())
            continue;
        auto deadline = nextDeadline();
        if (deadline && *deadline <= backend_.now())
            continue;
        backend_.waitForWork(deadline);
    }
    --runDepth_;
    return exitCode_;
}

void Context::quit(int exitCode)
{
    quit_ = true;
    exitCode_ = exitCode;
    backend_.wake();
}

// ---------------------------------------------------------------------------------------------
// Resources

const ResourceModule* Context::loadLibrary(const std::string& path)
{
    std::string resolved = path;
    if (path.find('/') == std::string::npos) {
        const std::string& program = program_->path();
        const auto slash = program.rfind('/');
        const std::string beside = (slash == std::string::npos ? std::string(".") : program.substr(0, slash)) + "/" + path;
        if (fileExists(beside))
            resolved = beside;
    }
    void* dl = dlopen(resolved.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl)
        return nullptr;
    using TableFn = const PlatformResourceTable* (*)();
    auto fn = reinterpret_cast<TableFn>(dlsym(dl, PLATFORM_RESOURCE_TABLE_SYMBOL));
    const PlatformResourceTable* table = fn ? fn() : nullptr;
    if (!table || table->version != kResourceTableVersion) {
        dlclose(dl);
        return nullptr;
    }
    auto library = std::make_unique<Library>();
    library->dl = dl;
    library->module = std::make_unique<ResourceModule>(resolved, table);
    const ResourceModule* module = library->module.get();
    libraries_.push_back(std::move(library));
    return module;
}

void Context::freeLibrary(const ResourceModule* module)
{
    auto it = std::find_if(libraries_.begin(), libraries_.end(),
                           [module](const auto& library) { return library->module.get() == module; });
    if (it == libraries_.end())
        return;
    if (current_ == module)
        current_ = nullptr;
    dlclose((*it)->dl);
    libraries_.erase(it);
}

const ResourceModule* Context::moduleByPath(std::string_view path) const
{
    if (program_->path() == path)
        return program_.get();
    for (const auto& library : libraries_)
        if (library->module->path() == path)
            return library->module.get();
    return nullptr;
}

} // namespace platform
