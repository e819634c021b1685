#pragma once
// What every command of trk7700 shares: the chosen port, --quiet, the library
// binding, how failures and notes are told, the connection to the logger and
// library calls that run on a worker while a signal can end the run.
#include "binding/library_binding.h"
#include "progress.h"

#include <functional>
#include <memory>
#include <string>

namespace trk7700::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

class RunContext {
public:
    std::string port = "auto";  // "auto" or a COM number from 1 to 255
    bool quiet = false;
    client::LibraryBinding library;

    // "trk7700: <message>" on standard error; returns kExitFailed.
    int fail(const std::string &message) const;
    // A note on standard error, left out with --quiet.
    void note(const std::string &message) const;
    // False, after telling why, when the call could not be made at all.
    bool callMade(const client::LinkCall &call) const;
    // A progress report on standard error (nowhere with --quiet).
    std::unique_ptr<ProgressReport> progress() const;

    // Runs a library call on a worker; tick runs a few times a second meanwhile.
    // A signal ends the run from here (see interrupt.h), with afterwards told.
    client::LinkCall runOnWorker(const std::function<client::LinkCall()> &call, const std::function<void()> &tick,
                                 const std::string &afterwards = "");
    // The same for any work (the conversion of a readout, for one).
    void runWork(const std::function<void()> &work, const std::function<void()> &tick,
                 const std::string &afterwards = "");

    // Asks a yes/no question on the terminal (No is the default). Without a
    // terminal on standard input the answer is No. A signal ends the run.
    bool ask(const std::string &question) const;
    static bool someoneCanAnswer();
};

// Dump mode for the length of one command; left again at the end.
class Connection {
public:
    explicit Connection(RunContext &context) : context_(context) {}
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    // Enters dump mode on the chosen port or by search; false after telling
    // why (for a port that cannot be opened: what is wrong with it).
    bool open();
    int32_t comPort() const { return comPort_; }
    // After a firmware upgrade the library has already closed the port.
    void forget() { open_ = false; }

private:
    RunContext &context_;
    int32_t comPort_ = 0;
    bool open_ = false;
};

}  // namespace trk7700::cli
