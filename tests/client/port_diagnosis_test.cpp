// Why a COM port could not be opened: one case per kind of failure, each with a
// port directory of links (TRK7700_PORT_DIR) or the per-user folder or the
// automatic numbering, and the words the sentence must hold.
#include "binding/port_diagnosis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <stdexcept>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using trk7700::client::explainPortFailure;

namespace {

class Folder {
public:
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "trk7700-diag-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        // Reachable by an unprivileged user, for the permission case run as root.
        fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
};

// A pseudo-terminal pair; the master stays open so that the slave exists.
class Pty {
public:
    Pty()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname failed");
        slave_ = name;
    }
    ~Pty()
    {
        for (int fd : held_) ::close(fd);
        ::close(master_);
    }
    const std::string &slave() const { return slave_; }
    // Opens the slave as the library does: exclusive and locked.
    void holdExclusively()
    {
        const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
        held_.push_back(fd);
    }

private:
    int master_ = -1;
    std::string slave_;
    std::vector<int> held_;
};

// Sets or unsets an environment variable for the test's length.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        if (const char *old = std::getenv(name)) previous_ = old;
        hadValue_ = std::getenv(name) != nullptr;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (hadValue_)
            ::setenv(name_.c_str(), previous_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_, previous_;
    bool hadValue_ = false;
};

// The sentence as an unprivileged user would get it: when the test runs as
// root (CI does), a child process gives up root first.
std::string explainAsUnprivilegedUser(int comNumber)
{
    if (::geteuid() != 0) return explainPortFailure(comNumber);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        const std::string text = explainPortFailure(comNumber);
        const ssize_t written = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 4);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return text;
}

// A program that holds the slave locked: a child takes the lock and becomes
// "sleep", keeping the descriptor across exec.
class LockingProgram {
public:
    explicit LockingProgram(const std::string &slave)
    {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) ::_exit(5);
            ::execlp("sleep", "sleep", "30", static_cast<char *>(nullptr));
            ::_exit(6);
        }
        ::close(ready[1]);
        char byte;
        while (::read(ready[0], &byte, 1) < 0 && errno == EINTR) {
        }  // end of file once the child has exec'd
        ::close(ready[0]);
    }
    ~LockingProgram()
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

struct DiagnosisCase {
    const char *name;
    // Prepares the port directory and returns the COM number to explain.
    std::function<int(const std::string &portDir, Pty &pty)> setup;
    std::vector<std::string> expected;
    bool unprivileged = false;
};

void link(const std::string &target, const std::string &entry) { fs::create_symlink(target, entry); }

class PortDiagnosisTest : public ::testing::Test {
protected:
    Folder ports;
    Pty pty;
};

TEST_F(PortDiagnosisTest, EveryKindOfFailureGetsItsSentence)
{
    const std::vector<DiagnosisCase> cases = {
        {"COM0", [](const std::string &, Pty &) { return 0; }, {"COM0 never opens", "from COM1"}},
        {"no entry in the port directory",
         [](const std::string &, Pty &) { return 5; },
         {"COM5 is not mapped", "TRK7700_PORT_DIR", "has no entry COM5", "ln -s /dev/ttyUSB0"}},
        {"link to a missing device",
         [](const std::string &dir, Pty &) {
             link(dir + "/gone", dir + "/COM3");
             return 3;
         },
         {"COM3", "/gone", "does not exist", "unplugged"}},
        {"link to a regular file",
         [](const std::string &dir, Pty &) {
             std::ofstream(dir + "/plain") << "x";
             link(dir + "/plain", dir + "/COM4");
             return 4;
         },
         {"COM4", "is not a serial device but a regular file"}},
        {"link to a folder",
         [](const std::string &dir, Pty &) {
             link(dir, dir + "/COM6");
             return 6;
         },
         {"COM6", "is not a serial device but a folder"}},
        {"link to a character device that is no terminal",
         [](const std::string &dir, Pty &) {
             link("/dev/null", dir + "/COM7");
             return 7;
         },
         {"COM7", "/dev/null", "is not a serial device", "no terminal"}},
        {"pty without permission",
         [](const std::string &dir, Pty &p) {
             link(p.slave(), dir + "/COM8");
             fs::permissions(p.slave(), fs::perms::none);
             return 8;
         },
         {"COM8", "permission denied", "sudo adduser $USER dialout", "log in again"},
         true},
        {"pty held by this program",
         [](const std::string &dir, Pty &p) {
             link(p.slave(), dir + "/COM9");
             p.holdExclusively();
             return 9;
         },
         {"COM9", "is in use by", "process " + std::to_string(::getpid()), "this program itself"}},
        {"free pty",
         [](const std::string &dir, Pty &p) {
             link(p.slave(), dir + "/COM10");
             return 10;
         },
         {"COM10", "opens now", "Try again"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Folder dir;
        Pty pty;
        ScopedEnv env("TRK7700_PORT_DIR", dir.str().c_str());
        const int com = c.setup(dir.str(), pty);
        const std::string text = c.unprivileged ? explainAsUnprivilegedUser(com) : explainPortFailure(com);
        for (const auto &words : c.expected) EXPECT_NE(text.find(words), std::string::npos) << text;
        // One kind of failure per sentence.
        const bool inUseExpected = std::find(c.expected.begin(), c.expected.end(), "is in use by") != c.expected.end();
        EXPECT_EQ(text.find("is in use") != std::string::npos, inUseExpected) << text;
    }
}

TEST_F(PortDiagnosisTest, NamesAnotherProgramThatHoldsThePort)
{
    ScopedEnv env("TRK7700_PORT_DIR", ports.str().c_str());
    link(pty.slave(), ports.str() + "/COM3");
    LockingProgram holder(pty.slave());
    const std::string text = explainPortFailure(3);
    EXPECT_NE(text.find("COM3"), std::string::npos) << text;
    EXPECT_NE(text.find("is in use by another program: sleep (process " + std::to_string(holder.pid()) + ")"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("this program itself"), std::string::npos) << text;
}

TEST_F(PortDiagnosisTest, EmptyPortDirectoryVariableMapsNothing)
{
    ScopedEnv env("TRK7700_PORT_DIR", "");
    const std::string text = explainPortFailure(3);
    EXPECT_NE(text.find("TRK7700_PORT_DIR is set but empty"), std::string::npos) << text;
}

TEST_F(PortDiagnosisTest, PerUserFolderWithoutTheEntry)
{
    Folder config;
    fs::create_directories(config.str() + "/trk7700/ports");
    ScopedEnv noDir("TRK7700_PORT_DIR", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", config.str().c_str());
    const std::string text = explainPortFailure(3);
    EXPECT_NE(text.find("COM3 is not mapped"), std::string::npos) << text;
    EXPECT_NE(text.find(config.str() + "/trk7700/ports has no entry COM3"), std::string::npos) << text;
    EXPECT_NE(text.find("only its entries count"), std::string::npos) << text;
}

TEST_F(PortDiagnosisTest, AutomaticNumberingBeyondThePresentDevices)
{
    Folder config;  // without trk7700/ports: the automatic numbering is in force
    ScopedEnv noDir("TRK7700_PORT_DIR", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", config.str().c_str());
    const std::string text = explainPortFailure(250);
    EXPECT_NE(text.find("COM250 is not mapped"), std::string::npos) << text;
    EXPECT_NE(text.find("numbered automatically"), std::string::npos) << text;
    EXPECT_NE(text.find("/dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*"), std::string::npos) << text;
    EXPECT_NE(text.find("~/.config/trk7700/ports"), std::string::npos) << text;
}

}  // namespace
