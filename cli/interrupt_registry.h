#pragma once
// What a run registers for its interruption, the same on every system: the
// signal that arrived, the programs it started and its scratch files. The
// system's side (interrupt_posix.cpp, interrupt_windows.cpp) stops the workers
// and programs and removes the files.
#include <atomic>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace trk7700::cli::interruption {

struct ScratchPattern {
    std::string folder, prefix, suffix;
};

// The signal that arrived (SIGINT or SIGTERM), or 0.
extern std::atomic<int> arrivedSignal;

// Guards the lists below and each system's list of running workers.
extern std::mutex registryMutex;
extern std::vector<pid_t> childProcesses;
extern std::vector<std::string> scratchFiles;
extern std::vector<ScratchPattern> scratchPatterns;
extern std::vector<std::string> scratchFolders;

// Whether a directory entry's name belongs to the pattern. Allocates nothing:
// it runs while stopped workers may hold the allocator's lock.
bool nameMatches(const char *name, const ScratchPattern &pattern);

}  // namespace trk7700::cli::interruption
