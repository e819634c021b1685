#pragma once
// Why a COM port could not be opened. The diagnosis says what was found;
// each front end words it in its own language (the command line in English
// with explainPortFailure, the window in German).
//
// Call it after the library has given up on the port: it looks at the port
// mapping (trk7700::serial::resolvePortPath), at the entry and the device, and
// may open the device for a moment (never keeping it) to tell a busy port
// from one it may not use.
#include <string>
#include <vector>

namespace trk7700::client {

struct PortDiagnosis {
    enum class Reason {
        numberedFromOne,      // COM0 or below
        variableEmpty,        // TRK7700_PORT_DIR is set but empty
        notInVariableFolder,  // the folder TRK7700_PORT_DIR names has no entry (folder)
        notInPortFolder,      // the port folder has no entry (folder)
        notNumbered,          // automatic numbering has no such device (devices)
        unplugged,            // an automatically numbered device is gone
        cannotLook,           // the entry cannot be looked at (error)
        dangling,             // the link names a device that does not exist (device)
        permissionDenied,     // (group, when not dialout)
        notSerial,            // the entry is no serial device (kind)
        inUse,                // another program holds it (holders)
        noResponse,           // the device is there but does not respond (error)
        cannotOpen,           // another error on opening (error)
        opensNow,             // it opens now
        missingOnWindows,     // no such port on this computer
    };
    enum class Kind { regularFile, folder, fifo, socket, blockDevice, notTerminal, other };
    struct Holder {
        long pid = 0;
        std::string name;
        bool self = false;  // this program
    };

    Reason reason = Reason::opensNow;
    int comNumber = 0;
    std::string com;     // "COM3"
    std::string port;    // "COM3 (/dev/ttyUSB0)" or "COM3 (/ports/COM3 -> /dev/pts/4)"; else the COM name
    std::string entry;   // the path the port resolves to
    std::string device;  // the device the entry names
    std::string folder;  // the port folder concerned
    std::string error;   // the system's words for an error
    std::string group;   // the device's group, when it is not dialout
    Kind kind = Kind::other;
    std::vector<std::string> devices;  // automatically numbered devices present now, COM1 first
    std::vector<Holder> holders;       // programs that hold the device, as far as visible
};

PortDiagnosis diagnosePort(int comNumber);

// The diagnosis in English, in one or two sentences for the user. Never empty.
std::string explainPortFailure(const PortDiagnosis &diagnosis);
std::string explainPortFailure(int comNumber);

}  // namespace trk7700::client
