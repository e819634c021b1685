#pragma once
// Runs the built trk7700 as a program: with its standard input on /dev/null or
// on a terminal that answers a question, with a PATH of its own (for a
// stand-in GPSBabel), bounded in time, and startable in the background so
// that a test can send it a signal.
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace trk7700::testing {

struct CommandRun {
    int exitCode = -1;  // -1: killed at the time bound
    std::string out, err;
    double seconds = 0;
};

struct CommandOptions {
    bool terminal = false;                                         // standard input is a terminal ...
    std::string answer;                                            // ... on which this was typed
    std::string path;                                              // PATH for the program; empty: inherited
    double timeLimit = 60;                                         // seconds
    std::vector<std::pair<std::string, std::string>> environment;  // set for the program alone
};

class RunningCommand {
public:
    RunningCommand(const std::filesystem::path &scratch, const std::vector<std::string> &arguments,
                   const CommandOptions &options = {})
        : out_(scratch / "stdout"), err_(scratch / "stderr"), options_(options)
    {
        // A test that keeps no history of its own never writes into the user's.
        const std::string privateData = (scratch / "data").string();
        std::string slaveName;
        if (options.terminal) {
            master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
                throw std::runtime_error("no pseudo-terminal");
            slaveName = ::ptsname(master_);
            slave_ = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (!options.answer.empty() && ::write(master_, options.answer.data(), options.answer.size()) < 0)
                throw std::runtime_error("cannot type the answer");
        }
        const std::string program = std::string(TRK_BINARY_DIR) + "/bin/trk7700";
        std::vector<std::string> words = {program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (auto &w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        start_ = std::chrono::steady_clock::now();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            const int in = options.terminal ? ::open(slaveName.c_str(), O_RDWR) : ::open("/dev/null", O_RDONLY);
            const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0) ::_exit(120);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            if (!options.path.empty()) ::setenv("PATH", options.path.c_str(), 1);
            ::setenv("XDG_DATA_HOME", privateData.c_str(), 0);
            for (const auto &[name, value] : options.environment) ::setenv(name.c_str(), value.c_str(), 1);
            ::execv(program.c_str(), argv.data());
            ::_exit(121);
        }
    }
    ~RunningCommand()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    RunningCommand(const RunningCommand &) = delete;
    RunningCommand &operator=(const RunningCommand &) = delete;

    pid_t pid() const { return pid_; }
    void signal(int number) { ::kill(pid_, number); }

    // Waits for the end (killing the program at the time bound).
    CommandRun finish()
    {
        CommandRun run;
        int status = 0;
        const auto deadline = start_ + std::chrono::duration<double>(options_.timeLimit);
        for (;;) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) break;
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = readFile(out_);
        run.err = readFile(err_);
        return run;
    }
    // Seconds since the given moment until the program ended.
    CommandRun finishAfter(std::chrono::steady_clock::time_point from)
    {
        CommandRun run = finish();
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
        return run;
    }

private:
    std::filesystem::path out_, err_;
    CommandOptions options_;
    pid_t pid_ = -1;
    int master_ = -1, slave_ = -1;
    std::chrono::steady_clock::time_point start_;
};

inline CommandRun runCommand(const std::filesystem::path &scratch, const std::vector<std::string> &arguments,
                             const CommandOptions &options = {})
{
    RunningCommand command(scratch, arguments, options);
    return command.finish();
}

}  // namespace trk7700::testing
