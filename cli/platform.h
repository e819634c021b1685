#pragma once
// What the command line asks of the operating system beyond the library and
// the conversion step: the terminal, the ports, and the time zone of the
// GPSBabel runs. platform_posix.cpp and platform_windows.cpp give it.
#include <cstdio>
#include <string>

namespace trk7700::cli {

bool standardInputIsTerminal();
bool standardErrorIsTerminal();

// One character of standard input. broken: a signal broke the read off (the
// caller looks at the signal and reads again).
enum class InputRead { character, broken, end };
InputRead readInputCharacter(char &c);

// A stream whose output nobody reads.
std::FILE *discardedOutput();

// The device behind a COM number, for the notes ("/dev/ttyUSB0"), or empty
// when the system names ports by number alone.
std::string portDevicePath(int comNumber);

// trk7700 ports: what its help says, and the listing itself.
std::string portsCommandHelp();
int listPorts();

// Empty when GPSBabel's runs can split days in the zone; otherwise why not.
std::string timeZoneProblem(const std::string &zone);
// The GPSBabel runs started from now on, and this process's own trips, split
// days in the zone.
void setTimeZoneOfStartedPrograms(const std::string &zone);

// Where a readout goes without --folder: "Wayfolk" in the user's home folder
// (the current folder when there is none), and how the help names it.
std::string defaultTargetFolder();
std::string defaultTargetFolderHelp();

// What to do when GPSBabel is not found.
std::string gpsBabelInstallAdvice();

}  // namespace trk7700::cli
