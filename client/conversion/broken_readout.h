#pragma once
// A readout that broke off (battery, cable, a logger that fell silent) leaves
// what arrived of the log memory in the readout's folder: "DB.sr" as the bytes
// came, or "SortDB.sr" when only the last steps failed. Those hold the newest
// records and the next readout would overwrite them, so the part is moved to a
// name of its own; trk7700 convert makes the usual files from it. Shared by the
// desktop tool and the command line.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace trk7700::client {

// "Wayfolk-broken-off-2026-12-11-18_03_05.sr": the local time the readout
// started, with the year, so that parts of several readouts sort by time.
std::string brokenOffPartName(std::time_t readoutStart);

// The used records in a raw log file: whole 16-byte slots whose longitude is
// not the erased word. 0 for a file that cannot be read.
size_t rawLogRecords(const std::string &path);

struct KeptPart {
    std::string path;    // where the part now is; empty when nothing was kept
    size_t records = 0;  // used records in it
    uint64_t bytes = 0;  // its size
    std::string error;   // why a part that holds records could not be moved
};

// After a readout into folder failed: moves the part that arrived to
// brokenOffPartName() in the folder ("-2", "-3"... added when that name is
// taken). A part without a record is left where it is, as scratch. Earlier
// readouts' files are not touched.
KeptPart keepBrokenOffPart(const std::string &folder, std::time_t readoutStart);

}  // namespace trk7700::client
