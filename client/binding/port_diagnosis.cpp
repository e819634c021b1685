#include "binding/port_diagnosis.h"

#include "serial/port_map.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace trk7700::client {
namespace {

constexpr const char *kDialoutAdvice =
    "add yourself to the group 'dialout' with 'sudo adduser $USER dialout' and log in again";

std::string comName(int comNumber) { return "COM" + std::to_string(comNumber); }

// "COM3 (/dev/ttyUSB0)" or "COM3 (/ports/COM3 -> /dev/pts/4)".
std::string portAndPath(int comNumber, const std::string &entry, const std::string &linkTarget)
{
    return comName(comNumber) + " (" + entry + (linkTarget.empty() ? "" : " -> " + linkTarget) + ")";
}

std::string linkTargetOf(const std::string &path)
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

std::string kindOf(mode_t mode)
{
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISCHR(mode)) return "a character device that is no terminal";
    return "no device";
}

std::string notMapped(int comNumber)
{
    const std::string com = comName(comNumber);
    if (comNumber <= 0) return com + " never opens: the ports are numbered from COM1.";
    if (const char *dir = std::getenv("TRK7700_PORT_DIR"); dir != nullptr) {
        if (dir[0] == '\0')
            return com + " is not mapped: the environment variable TRK7700_PORT_DIR is set but empty, and while it "
                         "is set it alone defines the ports. Unset it or name a folder of COM<n> links.";
        return com + " is not mapped: the port directory " + dir +
               " (from the environment variable TRK7700_PORT_DIR, which alone defines the ports while it is set) "
               "has no entry " +
               com + ". Link it to the logger's device, e.g. 'ln -s /dev/ttyUSB0 " + dir + "/" + com + "'.";
    }
    const std::string folder = serial::activePortDirectory();
    if (!folder.empty())
        return com + " is not mapped: the port directory " + folder + " has no entry " + com +
               ", and once that folder exists only its entries count (no automatic numbering). Pin the logger "
               "there, e.g. 'ln -s /dev/ttyUSB0 " +
               folder + "/" + com + "', or remove the folder.";
    const auto devices = serial::automaticPortDevices();
    std::string present;
    for (size_t i = 0; i < devices.size(); ++i)
        present += (i == 0 ? ": " : ", ") + comName(static_cast<int>(i + 1)) + " " + devices[i];
    return com +
           " is not mapped: without a port directory (TRK7700_PORT_DIR or ~/.config/trk7700/ports) the "
           "USB and Bluetooth serial devices (/dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*) are numbered "
           "automatically, and " +
           (devices.empty()
                ? std::string("none is present now")
                : std::to_string(devices.size()) + (devices.size() == 1 ? " is" : " are") + " present now" + present) +
           ". Check that the logger is plugged in and switched on, or pin it to a number in "
           "~/.config/trk7700/ports.";
}

// The program name of a process: argv[0]'s last part, else its comm.
std::string processName(const std::string &pid)
{
    std::ifstream cmdline("/proc/" + pid + "/cmdline", std::ios::binary);
    std::string argv0;
    std::getline(cmdline, argv0, '\0');
    if (!argv0.empty()) {
        const auto slash = argv0.rfind('/');
        return slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
    }
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "?" : name;
}

// The processes that hold the character device open, as far as /proc shows
// them (other users' processes only to root): "ModemManager (process 612)".
std::vector<std::pair<long, std::string>> holdersOf(dev_t device)
{
    std::vector<std::pair<long, std::string>> holders;
    DIR *proc = ::opendir("/proc");
    if (proc == nullptr) return holders;
    while (const dirent *p = ::readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        const std::string fdFolder = std::string("/proc/") + p->d_name + "/fd";
        DIR *fds = ::opendir(fdFolder.c_str());
        if (fds == nullptr) continue;
        bool holds = false;
        while (const dirent *f = ::readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            struct stat info {};
            if (::stat((fdFolder + "/" + f->d_name).c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
                info.st_rdev == device) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (holds) holders.emplace_back(pid, processName(p->d_name));
    }
    ::closedir(proc);
    return holders;
}

std::string inUse(const std::string &port, const std::string &device, dev_t rdev)
{
    const auto holders = holdersOf(rdev);
    if (holders.empty())
        return port + " is in use by another program (which one is not visible here; 'sudo fuser -v " + device +
               "' shows it). Close that program and try again.";
    std::string names;
    bool self = false, modemManager = false;
    for (size_t i = 0; i < holders.size() && i < 4; ++i) {
        const bool isSelf = holders[i].first == static_cast<long>(::getpid());
        self = self || isSelf;
        modemManager = modemManager || holders[i].second == "ModemManager";
        names += (i == 0 ? "" : ", ") + holders[i].second + " (process " + std::to_string(holders[i].first) +
                 (isSelf ? ", this program itself" : "") + ")";
    }
    std::string text = port + " is in use by " + (holders.size() == 1 && self ? "" : "another program: ") + names + ".";
    if (self && holders.size() == 1) return text + " It is probably connected to the logger already.";
    if (modemManager)
        return text + " Keep ModemManager away from the logger with a udev rule (ID_MM_DEVICE_IGNORE, see the "
                      "README), then try again.";
    return text + " Close it and try again.";
}

std::string permissionDenied(const std::string &port, const struct stat &info)
{
    std::string group;
    if (const struct group *g = ::getgrgid(info.st_gid); g != nullptr && std::strcmp(g->gr_name, "dialout") != 0)
        group = std::string(" (the device belongs to the group '") + g->gr_name + "')";
    return port + " may not be used: permission denied" + group +
           ". Serial devices belong to the group "
           "'dialout': " +
           kDialoutAdvice + ".";
}

}  // namespace

std::string explainPortFailure(int comNumber)
{
    if (comNumber <= 0) return notMapped(comNumber);
    const std::string entry = serial::resolvePortPath(comNumber);
    if (entry.empty()) return notMapped(comNumber);

    struct stat link {};
    if (::lstat(entry.c_str(), &link) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            // In a port directory a missing entry means "not mapped"; an
            // automatically numbered device that is gone was unplugged.
            if (!serial::activePortDirectory().empty() || std::getenv("TRK7700_PORT_DIR") != nullptr)
                return notMapped(comNumber);
            return comName(comNumber) + " (" + entry + ") is gone: the device was unplugged. Plug the logger in " +
                   "again and retry.";
        }
        return comName(comNumber) + " (" + entry + ") cannot be looked at: " + std::strerror(errno) + ".";
    }
    const std::string target = S_ISLNK(link.st_mode) ? linkTargetOf(entry) : std::string();
    const std::string port = portAndPath(comNumber, entry, target);

    struct stat info {};
    if (::stat(entry.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return port + ": the device " + (target.empty() ? entry : target) +
                   " does not exist (the link dangles). The logger is unplugged or switched off, or the link names "
                   "the wrong device; plug it in or correct the link with 'ln -sf'.";
        if (errno == EACCES) return permissionDenied(port, link);
        return port + " cannot be looked at: " + std::strerror(errno) + ".";
    }
    if (!S_ISCHR(info.st_mode))
        return port + " is not a serial device but " + kindOf(info.st_mode) +
               ". Point it at the logger's device, e.g. /dev/ttyUSB0.";
    const std::string device = target.empty() ? entry : target;

    if (::access(entry.c_str(), R_OK | W_OK) != 0 && errno == EACCES) return permissionDenied(port, info);
    const int fd = ::open(entry.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) return permissionDenied(port, info);
        if (error == EBUSY) return inUse(port, device, info.st_rdev);
        if (error == ENXIO || error == ENODEV || error == EIO)
            return port + " is there but its device does not respond (" + std::strerror(error) +
                   "). Unplug the logger, plug it in again and retry.";
        return port + " cannot be opened: " + std::strerror(error) + ".";
    }
    if (::isatty(fd) != 1) {
        ::close(fd);
        return port + " is not a serial device but " + kindOf(info.st_mode) +
               ". Point it at the logger's device, e.g. /dev/ttyUSB0.";
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    if (locked) return inUse(port, device, info.st_rdev);
    return port + " opens now: it was busy for a moment, or the logger was not ready. Try again.";
}

}  // namespace trk7700::client
