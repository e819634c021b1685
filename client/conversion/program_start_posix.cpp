// Starting outside programs on a POSIX system: posix_spawnp searches PATH; the
// program's standard input and output are /dev/null.
#include "conversion/track_conversion.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace trk7700::client {
namespace {

std::vector<char *> argv(const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<char *> list;
    list.push_back(const_cast<char *>(program.c_str()));
    for (const auto &a : arguments) list.push_back(const_cast<char *>(a.c_str()));
    list.push_back(nullptr);
    return list;
}

std::string startFailure(const std::string &program, int code)
{
    return "cannot start " + program + ": " + std::strerror(code);
}

}  // namespace

bool DetachedLauncher::startDetached(const std::string &program, const std::vector<std::string> &arguments,
                                     std::string &error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    auto list = argv(program, arguments);
    const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, list.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = startFailure(program, rc);
        return false;
    }
    // Nobody waits for the program; collect its exit so that it leaves no zombie.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

int runAndWait(const std::string &program, const std::vector<std::string> &arguments, std::string &error,
               std::string &diagnostics, const std::function<void(pid_t)> &started, bool *programMissing)
{
    if (programMissing != nullptr) *programMissing = false;
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        error = startFailure(program, errno);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    // The program starts with no signal blocked and Ctrl-C and SIGTERM at their
    // defaults, whatever the calling thread blocks or catches.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    auto list = argv(program, arguments);
    const int rc = posix_spawnp(&pid, program.c_str(), &actions, &attributes, list.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(errPipe[0]);
        error = startFailure(program, rc);
        if (programMissing != nullptr) *programMissing = rc == ENOENT;
        return -1;
    }
    if (started) started(pid);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0 && diagnostics.size() < 65536) diagnostics.append(buffer, static_cast<size_t>(n));
    ::close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    error = program + " ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
}

}  // namespace trk7700::client
