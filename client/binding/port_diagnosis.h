#pragma once
// Why a COM port could not be opened, in one or two sentences for the user.
// Shared by the desktop tool (after "Com Port nicht gefunden, oder belegt." and
// "Kann Com Port nicht öffnen !") and the command line (after result 3).
//
// Call it after the library has given up on the port: it looks at the port
// mapping (trk7700::serial::resolvePortPath), at the entry and the device, and
// may open the device for a moment (never keeping it) to tell a busy port
// from one it may not use.
#include <string>

namespace trk7700::client {

// One of: COM<n> is not mapped (and where mappings come from), its link points
// to a device that is missing, it is not a serial device, permission is denied
// (with the dialout advice), it is in use by another program (named when
// /proc shows it), or it opens now. Never empty.
std::string explainPortFailure(int comNumber);

}  // namespace trk7700::client
