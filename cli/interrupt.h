#pragma once
// Ctrl-C and SIGTERM end a run within a second and leave the target folder as
// it was before the run: the work that is under way (a library call, GPSBabel)
// cannot be cancelled, so it is stopped where it stands, this run's scratch
// files are removed and the process ends. Earlier files are never touched.
#include <functional>
#include <string>
#include <sys/types.h>
#include <thread>

namespace trk7700::cli {

// Catches SIGINT and SIGTERM (blocking reads such as a question's answer are
// broken off by them).
void installInterruptHandlers();

// The signal that arrived, or 0.
int interruptSignal();

// A thread for work that may be under way when a signal arrives: it never
// receives SIGINT or SIGTERM itself and is stopped in place when the run ends.
std::thread startWorker(std::function<void()> work);

// A program started by a worker; killed when the run ends.
void addChildProcess(pid_t pid);
void removeChildProcess(pid_t pid);

// The serial device of the logger this run talks to: what the logger sent and
// nobody read yet is dropped when the run ends, so that it cannot spoil the
// next run's greeting.
void setLoggerDevice(const std::string &devicePath);

// A file this run makes and removes again (or a pattern: every entry of
// folder whose name starts with prefix and ends with suffix).
void addScratchFile(const std::string &path);
void addScratchPattern(const std::string &folder, const std::string &prefix, const std::string &suffix);
// A folder this run made for itself: removed (when empty) after the files.
void addScratchFolder(const std::string &path);

// Stops the workers and the child programs, removes the scratch files, says
// what was kept (afterwards, e.g. "Nothing was erased.") and exits with
// 128 + the signal.
[[noreturn]] void endInterruptedRun(const std::string &afterwards = "");

}  // namespace trk7700::cli
