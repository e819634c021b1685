#pragma once
// Every complete readout's track text is also kept, compressed, in a history
// per logger: $XDG_DATA_HOME/trk7700/history/<serial>/<UTC time>.txt.gz
// (~/.local/share/... when XDG_DATA_HOME is unset). An erase after a readout
// can then never lose a track, and a track can be exported again later.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace trk7700::client {

std::string historyFolder();

struct HistoryEntry {
    std::string name;  // "<serial>/<time>", what `convert` takes
    std::string path;  // the compressed file
    uint64_t compressedBytes = 0;
};

// Keeps a compressed copy of the track text; the entry's name, or empty (and
// error) when it could not be written.
std::string keepInHistory(const std::string &trackTextPath, uint32_t serialNumber, std::time_t when,
                          std::string &error);

// The entries, oldest first per logger.
std::vector<HistoryEntry> listHistory();

// The compressed file of an entry named "<serial>/<time>" (or a path to one);
// empty when there is none.
std::string historyEntryPath(const std::string &name);

// Writes the entry's track text to trackTextPath; false (and error) when not.
bool restoreFromHistory(const std::string &name, const std::string &trackTextPath, std::string &error);

}  // namespace trk7700::client
