#include "interrupt.h"

#include "interrupt_registry.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <sys/wait.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace trk7700::cli {
using namespace interruption;
namespace {

// A worker is parked with this signal: its handler never returns, so the
// worker writes nothing more while the scratch files are removed.
constexpr int kParkSignal = SIGUSR1;

std::atomic<int> parkedWorkers{0};

std::vector<pthread_t> runningWorkers;
std::atomic<dev_t> loggerDevice{0};

extern "C" void onInterrupt(int signal) { arrivedSignal.store(signal); }

extern "C" void parkThisThread(int)
{
    parkedWorkers.fetch_add(1);
    for (;;) ::pause();
}

// A directory entry as getdents64 gives it.
struct LinuxDirEntry {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

}  // namespace

void installInterruptHandlers()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a waiting read of the answer is broken off
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    struct sigaction park {};
    park.sa_handler = parkThisThread;
    sigemptyset(&park.sa_mask);
    ::sigaction(kParkSignal, &park, nullptr);
}

std::thread startWorker(std::function<void()> work)
{
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    // The new thread inherits the mask; the caller's own is restored at once.
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    std::thread worker([work = std::move(work)] {
        {
            std::lock_guard lock(registryMutex);
            runningWorkers.push_back(::pthread_self());
        }
        work();
        std::lock_guard lock(registryMutex);
        runningWorkers.erase(std::remove_if(runningWorkers.begin(), runningWorkers.end(),
                                            [](pthread_t t) { return ::pthread_equal(t, ::pthread_self()) != 0; }),
                             runningWorkers.end());
    });
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return worker;
}

void setLoggerDevice(const std::string &devicePath)
{
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) loggerDevice.store(info.st_rdev);
}

void endInterruptedRun(const std::string &afterwards)
{
    const int signal = interruptSignal() != 0 ? interruptSignal() : SIGINT;
    // 1. Nothing that works for this run writes any more. The registry is not
    //    locked again afterwards: a parked worker may be the one waiting for it.
    int toPark = 0;
    {
        std::lock_guard lock(registryMutex);
        toPark = static_cast<int>(runningWorkers.size());
        for (pthread_t worker : runningWorkers) ::pthread_kill(worker, kParkSignal);
        for (pid_t child : childProcesses) ::kill(child, SIGKILL);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (parkedWorkers.load() < toPark && std::chrono::steady_clock::now() < deadline) ::usleep(2000);
    for (pid_t child : childProcesses)
        for (int i = 0; i < 100 && ::waitpid(child, nullptr, WNOHANG) == 0; ++i) ::usleep(2000);
    // 2. What the logger sent and nobody read is dropped with the port.
    if (const dev_t device = loggerDevice.load(); device != 0) {
        const int fds = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        alignas(8) char buffer[8192];
        for (long n; fds >= 0 && (n = ::syscall(SYS_getdents64, fds, buffer, sizeof buffer)) > 0;) {
            for (long at = 0; at < n;) {
                const auto *entry = reinterpret_cast<const LinuxDirEntry *>(buffer + at);
                at += entry->d_reclen;
                const int fd = std::atoi(entry->d_name);
                struct stat info {};
                if (fd > 2 && fd != fds && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) {
                    ::tcflush(fd, TCIOFLUSH);
                    ::close(fd);
                }
            }
        }
        if (fds >= 0) ::close(fds);
    }
    // 3. This run's scratch files go; earlier files are not among them. A
    //    parked worker may hold the allocator's lock: nothing below allocates.
    for (const auto &path : scratchFiles) ::unlink(path.c_str());
    for (const auto &pattern : scratchPatterns) {
        const int folder = ::open(pattern.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) continue;
        alignas(8) char buffer[16384];
        for (long n; (n = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer)) > 0;) {
            for (long at = 0; at < n;) {
                const auto *entry = reinterpret_cast<const LinuxDirEntry *>(buffer + at);
                if (nameMatches(entry->d_name, pattern)) ::unlinkat(folder, entry->d_name, 0);
                at += entry->d_reclen;
            }
        }
        ::close(folder);
    }
    for (const auto &folder : scratchFolders) ::rmdir(folder.c_str());
    std::fprintf(stderr,
                 "\ntrk7700: interrupted (%s); this run's scratch files were removed, earlier files are "
                 "kept as they were.%s%s\n",
                 signal == SIGTERM ? "SIGTERM" : "Ctrl-C", afterwards.empty() ? "" : " ", afterwards.c_str());
    std::fflush(stderr);
    ::_exit(128 + signal);
}

}  // namespace trk7700::cli
