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

using Reason = PortDiagnosis::Reason;
using Kind = PortDiagnosis::Kind;

constexpr const char *kDialoutAdvice =
    "add yourself to the group 'dialout' with 'sudo adduser $USER dialout' and log in again";

std::string comName(int comNumber) { return "COM" + std::to_string(comNumber); }

std::string linkTargetOf(const std::string &path)
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode)) return Kind::regularFile;
    if (S_ISDIR(mode)) return Kind::folder;
    if (S_ISFIFO(mode)) return Kind::fifo;
    if (S_ISSOCK(mode)) return Kind::socket;
    if (S_ISBLK(mode)) return Kind::blockDevice;
    if (S_ISCHR(mode)) return Kind::notTerminal;
    return Kind::other;
}

const char *kindWords(Kind kind)
{
    switch (kind) {
    case Kind::regularFile: return "a regular file";
    case Kind::folder: return "a folder";
    case Kind::fifo: return "a FIFO";
    case Kind::socket: return "a socket";
    case Kind::blockDevice: return "a block device";
    case Kind::notTerminal: return "a character device that is no terminal";
    case Kind::other: break;
    }
    return "no device";
}

void diagnoseNotMapped(PortDiagnosis &d)
{
    if (d.comNumber <= 0) {
        d.reason = Reason::numberedFromOne;
        return;
    }
    if (const char *dir = std::getenv("TRK7700_PORT_DIR"); dir != nullptr) {
        d.reason = dir[0] == '\0' ? Reason::variableEmpty : Reason::notInVariableFolder;
        d.folder = dir;
        return;
    }
    d.folder = serial::activePortDirectory();
    if (!d.folder.empty()) {
        d.reason = Reason::notInPortFolder;
        return;
    }
    d.reason = Reason::notNumbered;
    d.devices = serial::automaticPortDevices();
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
// them (other users' processes only to root).
std::vector<PortDiagnosis::Holder> holdersOf(dev_t device)
{
    std::vector<PortDiagnosis::Holder> holders;
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
        if (holds) holders.push_back({pid, processName(p->d_name), pid == static_cast<long>(::getpid())});
    }
    ::closedir(proc);
    return holders;
}

void inUse(PortDiagnosis &d, dev_t rdev)
{
    d.reason = Reason::inUse;
    d.holders = holdersOf(rdev);
}

void permissionDenied(PortDiagnosis &d, const struct stat &info)
{
    d.reason = Reason::permissionDenied;
    if (const struct group *g = ::getgrgid(info.st_gid); g != nullptr && std::strcmp(g->gr_name, "dialout") != 0)
        d.group = g->gr_name;
}

std::string inUseWords(const PortDiagnosis &d)
{
    if (d.holders.empty())
        return d.port + " is in use by another program (which one is not visible here; 'sudo fuser -v " + d.device +
               "' shows it). Close that program and try again.";
    std::string names;
    bool self = false, modemManager = false;
    for (size_t i = 0; i < d.holders.size() && i < 4; ++i) {
        const auto &holder = d.holders[i];
        self = self || holder.self;
        modemManager = modemManager || holder.name == "ModemManager";
        names += (i == 0 ? "" : ", ") + holder.name + " (process " + std::to_string(holder.pid) +
                 (holder.self ? ", this program itself" : "") + ")";
    }
    std::string text =
        d.port + " is in use by " + (d.holders.size() == 1 && self ? "" : "another program: ") + names + ".";
    if (self && d.holders.size() == 1) return text + " It is probably connected to the logger already.";
    if (modemManager)
        return text + " Keep ModemManager away from the logger with a udev rule (ID_MM_DEVICE_IGNORE, see the "
                      "README), then try again.";
    return text + " Close it and try again.";
}

}  // namespace

PortDiagnosis diagnosePort(int comNumber)
{
    PortDiagnosis d;
    d.comNumber = comNumber;
    d.com = d.port = comName(comNumber);
    if (comNumber <= 0) {
        diagnoseNotMapped(d);
        return d;
    }
    d.entry = serial::resolvePortPath(comNumber);
    if (d.entry.empty()) {
        diagnoseNotMapped(d);
        return d;
    }
    d.port = d.com + " (" + d.entry + ")";

    struct stat link {};
    if (::lstat(d.entry.c_str(), &link) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            // In a port directory a missing entry means "not mapped"; an
            // automatically numbered device that is gone was unplugged.
            if (!serial::activePortDirectory().empty() || std::getenv("TRK7700_PORT_DIR") != nullptr)
                diagnoseNotMapped(d);
            else
                d.reason = Reason::unplugged;
            return d;
        }
        d.reason = Reason::cannotLook;
        d.error = std::strerror(errno);
        return d;
    }
    const std::string target = S_ISLNK(link.st_mode) ? linkTargetOf(d.entry) : std::string();
    d.port = d.com + " (" + d.entry + (target.empty() ? "" : " -> " + target) + ")";
    d.device = target.empty() ? d.entry : target;

    struct stat info {};
    if (::stat(d.entry.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            d.reason = Reason::dangling;
        } else if (errno == EACCES) {
            permissionDenied(d, link);
        } else {
            d.reason = Reason::cannotLook;
            d.error = std::strerror(errno);
        }
        return d;
    }
    if (!S_ISCHR(info.st_mode)) {
        d.reason = Reason::notSerial;
        d.kind = kindOf(info.st_mode);
        return d;
    }

    if (::access(d.entry.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        permissionDenied(d, info);
        return d;
    }
    const int fd = ::open(d.entry.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        d.error = std::strerror(error);
        if (error == EACCES || error == EPERM)
            permissionDenied(d, info);
        else if (error == EBUSY)
            inUse(d, info.st_rdev);
        else if (error == ENXIO || error == ENODEV || error == EIO)
            d.reason = Reason::noResponse;
        else
            d.reason = Reason::cannotOpen;
        return d;
    }
    if (::isatty(fd) != 1) {
        ::close(fd);
        d.reason = Reason::notSerial;
        d.kind = kindOf(info.st_mode);
        return d;
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    if (locked)
        inUse(d, info.st_rdev);
    else
        d.reason = Reason::opensNow;
    return d;
}

std::string explainPortFailure(const PortDiagnosis &d)
{
    const std::string &com = d.com;
    switch (d.reason) {
    case Reason::numberedFromOne: return com + " never opens: the ports are numbered from COM1.";
    case Reason::variableEmpty:
        return com + " is not mapped: the environment variable TRK7700_PORT_DIR is set but empty, and while it "
                     "is set it alone defines the ports. Unset it or name a folder of COM<n> links.";
    case Reason::notInVariableFolder:
        return com + " is not mapped: the port directory " + d.folder +
               " (from the environment variable TRK7700_PORT_DIR, which alone defines the ports while it is set) "
               "has no entry " +
               com + ". Link it to the logger's device, e.g. 'ln -s /dev/ttyUSB0 " + d.folder + "/" + com + "'.";
    case Reason::notInPortFolder:
        return com + " is not mapped: the port directory " + d.folder + " has no entry " + com +
               ", and once that folder exists only its entries count (no automatic numbering). Pin the logger "
               "there, e.g. 'ln -s /dev/ttyUSB0 " +
               d.folder + "/" + com + "', or remove the folder.";
    case Reason::notNumbered: {
        std::string present;
        for (size_t i = 0; i < d.devices.size(); ++i)
            present += (i == 0 ? ": " : ", ") + comName(static_cast<int>(i + 1)) + " " + d.devices[i];
        return com +
               " is not mapped: without a port directory (TRK7700_PORT_DIR or ~/.config/trk7700/ports) the "
               "USB and Bluetooth serial devices (/dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*) are numbered "
               "automatically, and " +
               (d.devices.empty() ? std::string("none is present now")
                                  : std::to_string(d.devices.size()) + (d.devices.size() == 1 ? " is" : " are") +
                                        " present now" + present) +
               ". Check that the logger is plugged in and switched on, or pin it to a number in "
               "~/.config/trk7700/ports.";
    }
    case Reason::unplugged: return d.port + " is gone: the device was unplugged. Plug the logger in again and retry.";
    case Reason::cannotLook: return d.port + " cannot be looked at: " + d.error + ".";
    case Reason::dangling:
        return d.port + ": the device " + d.device +
               " does not exist (the link dangles). The logger is unplugged or switched off, or the link names "
               "the wrong device; plug it in or correct the link with 'ln -sf'.";
    case Reason::permissionDenied:
        return d.port + " may not be used: permission denied" +
               (d.group.empty() ? std::string() : " (the device belongs to the group '" + d.group + "')") +
               ". Serial devices belong to the group 'dialout': " + kDialoutAdvice + ".";
    case Reason::notSerial:
        return d.port + " is not a serial device but " + kindWords(d.kind) +
               ". Point it at the logger's device, e.g. /dev/ttyUSB0.";
    case Reason::inUse: return inUseWords(d);
    case Reason::noResponse:
        return d.port + " is there but its device does not respond (" + d.error +
               "). Unplug the logger, plug it in again and retry.";
    case Reason::cannotOpen: return d.port + " cannot be opened: " + d.error + ".";
    case Reason::opensNow:
        return d.port + " opens now: it was busy for a moment, or the logger was not ready. Try again.";
    case Reason::missingOnWindows: break;
    }
    return d.port + " cannot be opened.";
}

std::string explainPortFailure(int comNumber) { return explainPortFailure(diagnosePort(comNumber)); }

}  // namespace trk7700::client
