#pragma once
// An empty logger must never replace a track. During a readout the library
// writes its track text to a staging name beside the real one; afterwards the
// text takes the real name only when it holds records or when no earlier
// readout's files are there. Shared by the desktop tool and the command line.
#include "conversion/track_conversion.h"

#include <string>

namespace trk7700::client {

// T/Wayfolk[S].txt.partial: what the library is given as the text file's path.
std::string stagedTrackText(const ReadoutFiles &files);

// True when the track text at path holds at least one record line behind its
// two header lines.
bool trackTextHasRecords(const std::string &path);

// True when the folder holds a file of this readout's names: the text, the
// NMEA file, a mark file, or GPSBabel's KML, PLT or GPX.
bool earlierReadoutPresent(const ReadoutFiles &files);

enum class StagedTextOutcome {
    placed,            // the text now has its real name; convert it
    emptyKeptEarlier,  // no records and earlier files there: they all stay, nothing to convert
    cannotPlace,       // the staged text could not take its name (error says why)
};

// After a successful readout: moves the staged text into place, or drops it
// when it is empty and an earlier readout is there.
StagedTextOutcome placeStagedTrackText(const ReadoutFiles &files, std::string &error);

// After a failed or interrupted readout: removes the staged text, if any.
void discardStagedTrackText(const ReadoutFiles &files);

inline constexpr const char *kEmptyLoggerKeptFiles =
    "Der Logger enthält keine Daten; die vorhandenen Dateien bleiben erhalten.";

}  // namespace trk7700::client
