// The command line on a POSIX system.
#include "platform.h"

#include "conversion/track_conversion.h"
#include "run_context.h"
#include "serial/port_map.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace trk7700::cli {

bool standardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

InputRead readInputCharacter(char &c)
{
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n == 1) return InputRead::character;
    return n < 0 && errno == EINTR ? InputRead::broken : InputRead::end;
}

std::FILE *discardedOutput()
{
    static std::FILE *nowhere = std::fopen("/dev/null", "w");
    return nowhere;
}

std::string portDevicePath(int comNumber) { return serial::resolvePortPath(comNumber); }

std::string portsCommandHelp()
{
    return "which device each COM number maps to: the entries of $TRK7700_PORT_DIR or of "
           "~/.config/trk7700/ports, or else the USB and Bluetooth serial devices numbered automatically";
}

int listPorts()
{
    const std::string directory = serial::activePortDirectory();
    if (!directory.empty()) {
        std::printf("Ports defined by the port directory %s:\n", directory.c_str());
        bool any = false;
        for (int n = 1; n <= 256; ++n) {
            const std::string entry = serial::resolvePortPath(n);
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(entry, ec))) continue;
            any = true;
            const auto target = fs::is_symlink(entry, ec) ? fs::read_symlink(entry, ec).string() : entry;
            const bool present = fs::exists(entry, ec);
            std::printf("  COM%-3d -> %s%s\n", n, target.c_str(), present ? "" : "  (missing)");
        }
        if (!any) std::printf("  (no COM entries)\n");
        return kExitOk;
    }
    const auto devices = serial::automaticPortDevices();
    std::printf("Ports numbered automatically (USB, then ACM, then Bluetooth rfcomm devices):\n");
    if (devices.empty()) std::printf("  (no USB or Bluetooth serial device present)\n");
    for (size_t i = 0; i < devices.size(); ++i) std::printf("  COM%-3zu -> %s\n", i + 1, devices[i].c_str());
    std::printf("Pin a logger to a number with a link in ~/.config/trk7700/ports, e.g.\n"
                "  mkdir -p ~/.config/trk7700/ports && ln -s /dev/ttyUSB0 ~/.config/trk7700/ports/COM3\n");
    return kExitOk;
}

std::string timeZoneProblem(const std::string &zone)
{
    std::error_code ec;
    const std::string path = "/usr/share/zoneinfo/" + zone;
    bool known =
        !zone.empty() && zone.find("..") == std::string::npos && zone.front() != '/' && fs::is_regular_file(path, ec);
    // The folder also holds tables that are no zone (zone.tab, leapseconds):
    // a zone's file starts with "TZif".
    if (known) {
        char magic[4] = {};
        std::ifstream file(path, std::ios::binary);
        known = file.read(magic, sizeof magic) && std::string(magic, sizeof magic) == "TZif";
    }
    return known ? std::string() : "'" + zone + "' is no time zone of /usr/share/zoneinfo";
}

void setTimeZoneOfStartedPrograms(const std::string &zone)
{
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();  // this process's own day splitting follows the zone too
}

std::string gpsBabelInstallAdvice()
{
    return std::string("install the Debian package '") + client::kGpsBabelPackage + "'";
}

std::string defaultTargetFolder()
{
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/Wayfolk";
}

std::string defaultTargetFolderHelp() { return "~/Wayfolk"; }

}  // namespace trk7700::cli
