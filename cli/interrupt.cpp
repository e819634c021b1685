#include "interrupt.h"

#include "interrupt_registry.h"

#include <algorithm>
#include <cstring>

namespace trk7700::cli {
namespace interruption {

std::atomic<int> arrivedSignal{0};
std::mutex registryMutex;
std::vector<pid_t> childProcesses;
std::vector<std::string> scratchFiles;
std::vector<ScratchPattern> scratchPatterns;
std::vector<std::string> scratchFolders;

bool nameMatches(const char *name, const ScratchPattern &pattern)
{
    const size_t length = std::strlen(name);
    return length >= pattern.prefix.size() + pattern.suffix.size() &&
           std::strncmp(name, pattern.prefix.c_str(), pattern.prefix.size()) == 0 &&
           std::strcmp(name + length - pattern.suffix.size(), pattern.suffix.c_str()) == 0;
}

}  // namespace interruption

using namespace interruption;

int interruptSignal() { return arrivedSignal.load(); }

void addChildProcess(pid_t pid)
{
    std::lock_guard lock(registryMutex);
    childProcesses.push_back(pid);
}

void removeChildProcess(pid_t pid)
{
    std::lock_guard lock(registryMutex);
    childProcesses.erase(std::remove(childProcesses.begin(), childProcesses.end(), pid), childProcesses.end());
}

void addScratchFile(const std::string &path)
{
    std::lock_guard lock(registryMutex);
    scratchFiles.push_back(path);
}

void addScratchPattern(const std::string &folder, const std::string &prefix, const std::string &suffix)
{
    std::lock_guard lock(registryMutex);
    scratchPatterns.push_back({folder, prefix, suffix});
}

void addScratchFolder(const std::string &path)
{
    std::lock_guard lock(registryMutex);
    scratchFolders.push_back(path);
}

}  // namespace trk7700::cli
