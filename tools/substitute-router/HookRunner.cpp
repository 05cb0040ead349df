#include "HookRunner.h"

#include "SocketIo.h"
#include "StopSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

// This process blocks its stop signals and ignores SIGPIPE, and whatever the hook starts
// (a gateway) would keep both: the child gets them back.
std::optional<std::string> RunHook(const std::string& hook, const std::vector<std::string>& args,
                                   int timeoutMs, const StopSignal& stop) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGTERM, SIGINT}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string script = hook + " \"$@\"";
    std::vector<const char*> argv = {"sh", "-c", script.c_str(), "sh"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return std::nullopt;
    }
    std::string output;
    bool ended = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left <= 0 || WaitReadable(out[0], stop, static_cast<int>(left)) != WaitResult::Ready) break;
        char buffer[512];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        ended = n == 0;
        if (n <= 0) break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    if (!ended) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}
