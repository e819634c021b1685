#pragma once
// The command line's exports beyond the window's: the track split into trips
// (a new track after a gap) or days (at local midnight) by GPSBabel's own
// track filter, and the marks the user pressed as named waypoints in the same
// GPX or KML file. No widgets here.
#include "conversion/track_conversion.h"

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

// GPSBabel's filter arguments for the splitting (none when nothing is split).
std::vector<std::string> trackSplitArguments(const TrackSplitting &splitting);

// One run of marked records, as a waypoint at its first record.
struct MarkWaypoint {
    std::string name;      // "Mark 5"
    double latitude = 0;   // degrees, south negative
    double longitude = 0;  // degrees, west negative
    std::string time;      // ISO 8601 UTC, "2026-12-09T12:34:56Z"
};

// Every run of equally marked records in the track text becomes one waypoint
// at its first record. error is set when the text cannot be read.
std::vector<MarkWaypoint> markWaypoints(const std::string &trackTextPath, std::string &error);

// A GPX 1.1 file of the waypoints, for GPSBabel's second input.
bool writeWaypointsGpx(const std::vector<MarkWaypoint> &waypoints, const std::string &path, std::string &error);

// One GPSBabel run of the command line: the NMEA file, with the waypoints
// file as a second input when given, split as asked, into format/output.
GpsBabelRun exportRun(const std::string &nmeaPath, const std::string &waypointsGpx, const TrackSplitting &splitting,
                      const std::string &format, const std::string &output);

// The command line's runs for the checked formats, in the order KML, PLT,
// GPX: GPX and KML carry the waypoints and are split as asked; a PLT file
// holds one track, so it gets neither (GPSBabel would write a file per trip).
std::vector<GpsBabelRun> exportRuns(const ReadoutFiles &files, const ExportOptions &options,
                                    const std::string &waypointsGpx, const TrackSplitting &splitting);

}  // namespace trk7700::client
