#pragma once
// Every complete readout's track text is also kept, compressed, in a history
// per logger: $XDG_DATA_HOME/trk7700/history/<serial>/<UTC time>.txt.gz
// (~/.local/share/... when XDG_DATA_HOME is unset). An erase after a readout
// can then never lose a track, and a track can be exported again later. The
// history tells where the user has been: its folders and files are the user's
// alone.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace trk7700::client {

std::string historyFolder();

// The most a track text may hold: a full log's text is about 36 MB.
inline constexpr uint64_t kMaxTrackTextBytes = 64ull * 1024 * 1024;

struct HistoryEntry {
    std::string name;  // "<serial>/<time>", what `convert` takes
    std::string path;  // the compressed file
    uint64_t compressedBytes = 0;
};

// Keeps a compressed copy of the track text; the entry's name, or empty (and
// error) when it could not be written. Two readouts never share a name: a
// second one in the same second gets "-2", "-3", ... and a name is taken
// only where nothing stands. beforeWriting, when given, learns the scratch
// name the entry is written under before that file is made.
std::string keepInHistory(const std::string &trackTextPath, uint32_t serialNumber, std::time_t when, std::string &error,
                          const std::function<void(const std::string &)> &beforeWriting = {});

// The entries, oldest first per logger.
std::vector<HistoryEntry> listHistory();

// The compressed file of an entry named "<serial>/<time>" (or a path to one);
// empty when there is none.
std::string historyEntryPath(const std::string &name);

// Writes the entry's track text to trackTextPath; false (and error) when not:
// also when the compressed stream is cut short or damaged, or when it would
// give more than kMaxTrackTextBytes.
bool restoreFromHistory(const std::string &name, const std::string &trackTextPath, std::string &error);

// The same for a compressed file given by its path, whatever its name.
bool decompressTrackText(const std::string &compressedPath, const std::string &trackTextPath, std::string &error);

}  // namespace trk7700::client
