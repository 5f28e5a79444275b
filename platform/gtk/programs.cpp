#include "programs.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>
#include <sys/wait.h>
#include <vector>

namespace platform::gtk {

namespace {

std::uint32_t errorFromSpawn(const GError* error)
{
    if (error->domain != G_SPAWN_ERROR)
        return ERROR_INVALID_PARAMETER;
    switch (error->code) {
    case G_SPAWN_ERROR_NOENT:
    case G_SPAWN_ERROR_NOTDIR: return ERROR_FILE_NOT_FOUND;
    case G_SPAWN_ERROR_ACCES:
    case G_SPAWN_ERROR_PERM:
    case G_SPAWN_ERROR_ISDIR: return ERROR_ACCESS_DENIED;
    case G_SPAWN_ERROR_NOEXEC:
    case G_SPAWN_ERROR_LIBBAD: return ERROR_BAD_FORMAT;
    case G_SPAWN_ERROR_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case G_SPAWN_ERROR_NAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_INVALID_PARAMETER;
    }
}

// Starts argv[0] (looked up in PATH when it has no folder). Without a pid the child is detached
// and reaped by GLib; with one the caller must watch it.
std::uint32_t spawn(const std::vector<std::string>& args, GPid* pid)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const GSpawnFlags flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | (pid ? G_SPAWN_DO_NOT_REAP_CHILD : 0));
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, pid, &error)) {
        const std::uint32_t code = errorFromSpawn(error);
        g_error_free(error);
        return code;
    }
    return 0;
}

// A parameter text split into arguments by the same rules as a whole command line.
std::vector<std::string> splitArguments(const std::string& params)
{
    // The first word of a command line is the program and follows simpler quoting rules; a
    // placeholder takes its place.
    std::vector<std::string> args = splitCommandLine("\"\" " + params);
    args.erase(args.begin());
    return args;
}

// The command name the kernel shows for a process (its program's file name, cut to 15 bytes).
std::string processName(GPid pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

struct ElevatedChild {
    GMainLoop* loop = nullptr;
    bool exited = false;
    int waitStatus = 0;
};

} // namespace

std::uint32_t spawnCommandLine(const std::string& commandLine)
{
    const std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty() || args.front().empty())
        return ERROR_FILE_NOT_FOUND;
    return spawn(args, nullptr);
}

std::uint32_t spawnElevated(const std::string& file, const std::string& params)
{
    if (!fileExists(file))
        return ERROR_FILE_NOT_FOUND;
    std::vector<std::string> args{"pkexec", file};
    for (std::string& arg : splitArguments(params))
        args.push_back(std::move(arg));
    GPid pid = 0;
    if (const std::uint32_t code = spawn(args, &pid))
        return code == ERROR_FILE_NOT_FOUND ? ERROR_NOT_SUPPORTED : code;

    // pkexec asks the polkit agent and then replaces itself by the program, or exits with 126
    // (dismissed, not authorised) or 127 (no agent, authentication failed). Windows reports a
    // declined prompt to the caller, so wait until one of the two has happened. The exec has no
    // event of its own: it shows as the process changing its name.
    auto child = std::make_shared<ElevatedChild>();
    child->loop = g_main_loop_new(nullptr, FALSE);
    g_child_watch_add_full(
        G_PRIORITY_DEFAULT, pid,
        [](GPid exited, gint status, gpointer data) {
            auto& state = **static_cast<std::shared_ptr<ElevatedChild>*>(data);
            state.exited = true;
            state.waitStatus = status;
            g_spawn_close_pid(exited);
            if (state.loop)
                g_main_loop_quit(state.loop);
        },
        new std::shared_ptr<ElevatedChild>(child),
        [](gpointer data) { delete static_cast<std::shared_ptr<ElevatedChild>*>(data); });
    struct Poll {
        GPid pid;
        ElevatedChild* child;
    } poll{pid, child.get()};
    const guint pollSource = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Poll*>(data);
            if (!p->child->exited && processName(p->pid) != "pkexec")
                g_main_loop_quit(p->child->loop);
            return G_SOURCE_CONTINUE;
        },
        &poll);
    if (!child->exited && processName(pid) == "pkexec")
        g_main_loop_run(child->loop);
    g_source_remove(pollSource);
    g_main_loop_unref(child->loop);
    child->loop = nullptr;   // the watch stays to reap the program when it ends

    if (!child->exited)
        return 0;
    const int status = child->waitStatus;
    if (WIFSIGNALED(status) || (WIFEXITED(status) && (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127)))
        return ERROR_CANCELLED;
    return 0;
}

std::uint32_t openWithDefaultApplication(const std::string& target)
{
    std::string what = target;
    const std::vector<std::string> args = splitCommandLine(target);
    if (!args.empty()) {
        std::string program = args.front().substr(args.front().find_last_of("/\\") + 1);
        std::transform(program.begin(), program.end(), program.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (program == "iexplore.exe") {
            if (args.size() < 2)
                return ERROR_INVALID_PARAMETER;
            what = args[1];
        }
    }
    if (what.empty())
        return ERROR_INVALID_PARAMETER;
    return spawn({"xdg-open", what}, nullptr);
}

} // namespace platform::gtk
