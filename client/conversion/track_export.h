#pragma once
// The command line's exports beyond the window's: the track split into trips
// (a new track after a gap) or days (at local midnight) by GPSBabel's own
// track filter, and the marks the user pressed as named waypoints in the same
// GPX or KML file. No widgets here.
#include "conversion/track_conversion.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trk7700::client {

// "90s", "30m", "2h", "1d" (a bare number counts as minutes) in seconds; -1
// when the text is no positive duration.
long parseDuration(const std::string &text);

struct TrackSplitting {
    long tripGapSeconds = 0;  // 0: no split by gaps
    bool days = false;        // a new track at each local midnight (GPSBabel follows TZ)
};

// What GPSBabel reads of a readout: the records of the NMEA file that can be a
// position and a time (one impossible record, flash that was half written,
// would cost the whole GPX or KML), and with splitting one file per track.
// GPSBabel's own track filter cannot split into trips and then at midnight
// (it refuses to split more than one track, and packing loses the cuts), and
// every input file becomes a track of its own.
struct GpsBabelInput {
    std::string whole;                 // every possible record: the NMEA file itself when none is left out
    std::vector<std::string> tracks;   // with splitting: one file per track, in order
    size_t records = 0;                // possible records
    size_t leftOut = 0;                // records left out as impossible
    std::vector<std::string> scratch;  // files made for it, removed by removeGpsBabelInput
    std::string error;                 // set when a file could not be read or written
    bool ok() const { return error.empty(); }
};
GpsBabelInput prepareGpsBabelInput(const ReadoutFiles &files, const TrackSplitting &splitting);
void removeGpsBabelInput(const GpsBabelInput &input);
// The scratch names prepareGpsBabelInput uses in the folder: the whole input,
// and the track files as prefix + number + suffix.
std::string gpsBabelWholeInputName(const ReadoutFiles &files);
std::string gpsBabelTrackInputPrefix(const ReadoutFiles &files);
inline constexpr const char *kGpsBabelTrackInputSuffix = ".nmea";

// One run of marked records, as a waypoint at its first record.
struct MarkWaypoint {
    std::string name;      // "Mark 5"
    double latitude = 0;   // degrees, south negative
    double longitude = 0;  // degrees, west negative
    std::string time;      // ISO 8601 UTC, "2026-12-09T12:34:56Z"
};

// Every run of equally marked records in the track text becomes one waypoint
// at its first record that can be a position and a time. error is set when
// the text cannot be read. With the week rollover corrected (today's UTC day
// given), dates 1024 weeks early are corrected as in the NMEA files.
std::vector<MarkWaypoint> markWaypoints(const std::string &trackTextPath, std::string &error,
                                        int64_t rolloverToday = -1);

// A GPX 1.1 file of the waypoints, for GPSBabel's second input.
bool writeWaypointsGpx(const std::vector<MarkWaypoint> &waypoints, const std::string &path, std::string &error);

// One GPSBabel run of the command line: the NMEA inputs, with the waypoints
// file as a second input when given, into format/output.
GpsBabelRun exportRun(const std::vector<std::string> &nmeaInputs, const std::string &waypointsGpx,
                      const std::string &format, const std::string &output);

// The command line's runs for the checked formats, in the order KML, PLT,
// GPX: GPX and KML carry the waypoints and one track per piece of the input;
// a PLT file holds one track, so it gets the whole input and no waypoints
// (GPSBabel would write a file per trip).
std::vector<GpsBabelRun> exportRuns(const ReadoutFiles &files, const ExportOptions &options,
                                    const std::string &waypointsGpx, const GpsBabelInput &input);

}  // namespace trk7700::client
