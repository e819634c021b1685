// Ctrl-C, Ctrl-Break and the closing of the console window on Windows: the
// console's control handler notes the event, and the waiting main thread ends
// the run (see interrupt.h). Workers are suspended where they stand, started
// programs are terminated.
#include "interrupt.h"

#include "interrupt_registry.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace trk7700::cli {
using namespace interruption;
namespace {

std::vector<DWORD> runningWorkers;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const bool keyboard = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    arrivedSignal.store(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    // The system ends the process as soon as this handler returns from a
    // closing console, log-off or shutdown: the main thread gets the time to
    // remove the scratch files and exit first.
    if (!keyboard) Sleep(5000);
    return TRUE;
}

}  // namespace

void installInterruptHandlers() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

std::thread startWorker(std::function<void()> work)
{
    return std::thread([work = std::move(work)] {
        const DWORD self = GetCurrentThreadId();
        {
            std::lock_guard lock(registryMutex);
            runningWorkers.push_back(self);
        }
        work();
        std::lock_guard lock(registryMutex);
        runningWorkers.erase(std::remove(runningWorkers.begin(), runningWorkers.end(), self), runningWorkers.end());
    });
}

// The port is the library's handle; it is closed with the process, and the
// system drops what the logger sent and nobody read.
void setLoggerDevice(const std::string &) {}

void endInterruptedRun(const std::string &afterwards)
{
    const int signal = interruptSignal() != 0 ? interruptSignal() : SIGINT;
    // 1. Nothing that works for this run writes any more. The workers are
    //    suspended while this thread holds the process heap's lock, so none of
    //    them stops inside the heap: the file calls below allocate from it.
    //    GetThreadContext returns only once a thread has really stopped. A
    //    suspended worker may hold the registry's lock: nothing below takes it.
    {
        std::lock_guard lock(registryMutex);
        const HANDLE heap = GetProcessHeap();
        const bool heapLocked = HeapLock(heap) != 0;
        for (const DWORD worker : runningWorkers)
            if (const HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, worker);
                thread != nullptr) {
                if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
                    CONTEXT context{};
                    context.ContextFlags = CONTEXT_CONTROL;
                    GetThreadContext(thread, &context);
                }
                CloseHandle(thread);
            }
        if (heapLocked) HeapUnlock(heap);
        for (const pid_t child : childProcesses)
            if (const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(child));
                process != nullptr) {
                TerminateProcess(process, 128 + signal);
                WaitForSingleObject(process, 200);
                CloseHandle(process);
            }
    }
    // 2. This run's scratch files go; earlier files are not among them. A file
    //    that a suspended library call still holds open cannot be removed on
    //    Windows: it is counted and told.
    int kept = 0;
    for (const auto &path : scratchFiles)
        if (!DeleteFileA(path.c_str()) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) ++kept;
    for (const auto &pattern : scratchPatterns) {
        char all[MAX_PATH + 3];
        if (std::snprintf(all, sizeof all, "%s\\*", pattern.folder.c_str()) >= static_cast<int>(sizeof all)) continue;
        WIN32_FIND_DATAA entry;
        const HANDLE search = FindFirstFileA(all, &entry);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            char path[2 * MAX_PATH + 2];
            if (!nameMatches(entry.cFileName, pattern) ||
                std::snprintf(path, sizeof path, "%s\\%s", pattern.folder.c_str(), entry.cFileName) >=
                    static_cast<int>(sizeof path))
                continue;
            if (!DeleteFileA(path)) ++kept;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    for (const auto &folder : scratchFolders) RemoveDirectoryA(folder.c_str());
    if (kept == 0)
        std::fprintf(stderr,
                     "\ntrk7700: interrupted (%s); this run's scratch files were removed, earlier files are "
                     "kept as they were.%s%s\n",
                     signal == SIGTERM ? "SIGTERM" : "Ctrl-C", afterwards.empty() ? "" : " ", afterwards.c_str());
    else
        std::fprintf(stderr,
                     "\ntrk7700: interrupted (%s); %d of this run's scratch files were still in use and are "
                     "left behind, the others were removed; earlier files are kept as they were.%s%s\n",
                     signal == SIGTERM ? "SIGTERM" : "Ctrl-C", kept, afterwards.empty() ? "" : " ", afterwards.c_str());
    std::fflush(stderr);
    _exit(128 + signal);
}

}  // namespace trk7700::cli
