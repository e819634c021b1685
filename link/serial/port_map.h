#pragma once
// How a COM number finds its device on Linux.
//   1. $TRK7700_PORT_DIR/COM<n> when that variable is set (nothing else counts then);
//   2. $XDG_CONFIG_HOME/trk7700/ports/COM<n> (~/.config/...) when that folder exists;
//   3. otherwise /dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*, each in numeric order,
//      numbered COM1, COM2, ...  Built-in UARTs are never numbered automatically.
// COM0 never maps to anything.
#include <string>
#include <vector>

namespace trk7700::serial {

// The device path for COM number n, or empty when n maps to nothing.
std::string resolvePortPath(int comNumber);

// Where a port directory of one of the first two kinds is, or empty when the
// automatic numbering is in force.
std::string activePortDirectory();

// The automatically numbered devices, COM1 first.
std::vector<std::string> automaticPortDevices();

}  // namespace trk7700::serial
