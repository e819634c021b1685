// The command line on Windows: ports are named by number (COM3 is
// "\\.\COM3"), the console is the terminal.
#include "platform.h"

#include "run_context.h"

#include <windows.h>

#include <cstdlib>
#include <io.h>

namespace trk7700::cli {
namespace {

constexpr int kMostComNumber = 255;

enum class PortState { absent, opens, inUse, fails };

// Opens the port for a moment, as the library opens it, and closes it again.
PortState probePort(int comNumber, DWORD &code)
{
    const std::string device = "\\\\.\\COM" + std::to_string(comNumber);
    const HANDLE port =
        CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        CloseHandle(port);
        return PortState::opens;
    }
    code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return PortState::absent;
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) return PortState::inUse;
    return PortState::fails;
}

}  // namespace

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

InputRead readInputCharacter(char &c)
{
    if (_read(_fileno(stdin), &c, 1) == 1) return InputRead::character;
    // Ctrl-C ends a console read at once, while its handler runs on a thread
    // of its own: give the handler the moment to note it.
    if (GetLastError() == ERROR_OPERATION_ABORTED) {
        Sleep(100);
        return InputRead::broken;
    }
    return InputRead::end;
}

std::FILE *discardedOutput()
{
    static std::FILE *nowhere = std::fopen("NUL", "w");
    return nowhere;
}

std::string portDevicePath(int) { return {}; }

std::string portsCommandHelp()
{
    return "the COM ports of this computer (COM1 to COM" + std::to_string(kMostComNumber) +
           ") that open now or are in use by a program";
}

int listPorts()
{
    std::printf("COM ports of this computer (each opened for a moment):\n");
    bool any = false;
    for (int n = 1; n <= kMostComNumber; ++n) {
        DWORD code = 0;
        const PortState state = probePort(n, code);
        if (state == PortState::absent) continue;
        any = true;
        if (state == PortState::opens) std::printf("  COM%-3d free\n", n);
        if (state == PortState::inUse) std::printf("  COM%-3d in use by a program\n", n);
        if (state == PortState::fails) std::printf("  COM%-3d does not open (Windows error %lu)\n", n, code);
    }
    if (!any)
        std::printf("  (none: plug the logger's cable in; the Device Manager lists it under \"Ports (COM & LPT)\")\n");
    std::printf("Name the logger's port by its number, e.g. 'trk7700 --port 3 info' for COM3.\n");
    return kExitOk;
}

std::string timeZoneProblem(const std::string &zone)
{
    return "'" + zone + "': --tz is not available on Windows; --days splits at midnight of the system's time zone";
}

void setTimeZoneOfStartedPrograms(const std::string &zone) { _putenv_s("TZ", zone.c_str()); }

std::string gpsBabelInstallAdvice()
{
    return "install GPSBabel and put the folder that holds gpsbabel.exe on the program search path (PATH), or put "
           "gpsbabel.exe beside trk7700.exe";
}

// The user's profile folder (C:\Users\NAME); HOME is not a Windows variable.
std::string defaultTargetFolder()
{
    const char *profile = std::getenv("USERPROFILE");
    return std::string(profile != nullptr && *profile != '\0' ? profile : ".") + "\\Wayfolk";
}

std::string defaultTargetFolderHelp() { return "%USERPROFILE%\\Wayfolk"; }

}  // namespace trk7700::cli
