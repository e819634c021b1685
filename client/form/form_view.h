#pragma once
// What every control of the window shows, as the model decides it. A view
// draws this and nothing else.
#include <string>
#include <vector>

namespace trk7700::form {

// A check box: the options file may hold a grey state, which the user cannot make.
enum class CheckState { unchecked = 0, checked = 1, grey = 2 };

// The window's commands, each behind one button.
enum class Command {
    connect,             // "Verbinden"
    autoConnect,         // "Automatisch Verbinden"
    exitDumpMode,        // "Exit Dump Mode"
    deviceInformation,   // "Read Device Information" (hidden)
    readSettings,        // "Einstellungen auslesen" (hidden)
    upgradeFirmware,     // "Upgrade Firmware"
    readImageVersion,    // "Read Bin File FW  Version"
    readLibraryVersion,  // "Read DLL Version"
    readGpsTime,         // "Read GPS UTC Time"
    chooseFolder,        // "Durchsuchen"
    readout,             // "LOG Auslesen"
    convert,             // the conversion step on its own (hidden)
    erase,               // "Daten im Wayfolk löschen"
    storeSettings,       // "Einstellungen speichern"
};
inline constexpr int kCommandCount = static_cast<int>(Command::storeSettings) + 1;

// The export check boxes kept in the options file, in its order.
enum class ExportOption { kml, plt, gpx, dateInName, perMark };
inline constexpr int kExportOptionCount = 5;

// The status line's bar.
enum class Bar { hidden, busy, percent };

struct FormView {
    // Whether each command's button can be pressed, by Command.
    bool enabled[kCommandCount] = {};
    // The picture buttons' captions: black when offered, grey when not.
    bool connectOffered = true, autoConnectOffered = true, readoutOffered = false, eraseOffered = false,
         storeOffered = false, browseOffered = true;
    bool busy = false;  // a command runs: the busy cursor

    std::vector<std::string> ports;  // "COM1".. in the port list; entry n - 1 is COMn
    int selectedPort = -1;           // index into ports, -1 none
    std::string folder;              // the target folder field
    CheckState exportOptions[kExportOptionCount] = {};

    // Labels
    std::string portCaption, serialNumber, firmwareVersion, imageVersion, libraryVersion, gpsTime, dateStamp;

    // The settings page
    bool logByTime = false, logByDistance = false;
    std::string timeText = "5", distanceText = "50", minSpeedText = "0";
    bool vibration = false, tag = false;
    // The fields' tool tips, with the ranges the logger takes.
    std::string timeTip, distanceTip, minSpeedTip;

    // The status line: the text, a note that stays after it, the bar.
    std::string status, note;
    Bar bar = Bar::hidden;
    int percent = 0;
    std::string barText;  // with %p for the percentage

    // The map page of the last readout: its path, empty while there is none;
    // the "Karte" button beside the status line is offered only with one.
    std::string mapPage;

    bool isEnabled(Command command) const { return enabled[static_cast<int>(command)]; }
    CheckState option(ExportOption which) const { return exportOptions[static_cast<int>(which)]; }
};

}  // namespace trk7700::form
