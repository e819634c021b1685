// Why a COM port could not be opened, on Windows: the port is opened once
// more, as the library opens it, and the system's reason is told.
#include "binding/port_diagnosis.h"

#include <windows.h>

namespace trk7700::client {

std::string explainPortFailure(int comNumber)
{
    const std::string com = "COM" + std::to_string(comNumber);
    if (comNumber <= 0) return com + " never opens: the ports are numbered from COM1.";
    const std::string device = "\\\\.\\" + com;
    const HANDLE port =
        CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        CloseHandle(port);
        return com + " opens now: it was busy for a moment, or the logger was not ready. Try again.";
    }
    switch (const DWORD code = GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return com + " does not exist on this computer: the logger is unplugged, or its cable has another number "
                     "(the Device Manager lists them under \"Ports (COM & LPT)\"; 'trk7700 ports' lists those "
                     "that open).";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return com + " is in use by another program: close that program and try again.";
    default: return com + " cannot be opened (Windows error " + std::to_string(code) + ").";
    }
}

}  // namespace trk7700::client
