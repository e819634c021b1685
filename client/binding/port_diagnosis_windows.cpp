// Why a COM port could not be opened, on Windows: the port is opened once
// more, as the library opens it, and the system's reason is told.
#include "binding/port_diagnosis.h"

#include <windows.h>

namespace trk7700::client {

using Reason = PortDiagnosis::Reason;

PortDiagnosis diagnosePort(int comNumber)
{
    PortDiagnosis d;
    d.comNumber = comNumber;
    d.com = d.port = "COM" + std::to_string(comNumber);
    if (comNumber <= 0) {
        d.reason = Reason::numberedFromOne;
        return d;
    }
    const std::string device = "\\\\.\\" + d.com;
    const HANDLE port =
        CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        CloseHandle(port);
        d.reason = Reason::opensNow;
        return d;
    }
    switch (const DWORD code = GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: d.reason = Reason::missingOnWindows; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: d.reason = Reason::inUse; break;
    default:
        d.reason = Reason::cannotOpen;
        d.error = "Windows error " + std::to_string(code);
        break;
    }
    return d;
}

std::string explainPortFailure(const PortDiagnosis &d)
{
    const std::string &com = d.com;
    switch (d.reason) {
    case Reason::numberedFromOne: return com + " never opens: the ports are numbered from COM1.";
    case Reason::opensNow: return com + " opens now: it was busy for a moment, or the logger was not ready. Try again.";
    case Reason::missingOnWindows:
        return com + " does not exist on this computer: the logger is unplugged, or its cable has another number "
                     "(the Device Manager lists them under \"Ports (COM & LPT)\"; 'trk7700 ports' lists those "
                     "that open).";
    case Reason::inUse: return com + " is in use by another program: close that program and try again.";
    default: return com + " cannot be opened (" + d.error + ").";
    }
}

std::string explainPortFailure(int comNumber) { return explainPortFailure(diagnosePort(comNumber)); }

}  // namespace trk7700::client
