#pragma once
// What a readout holds, in figures: the track text's records split into trips
// exactly where the command line's exports split them (a new trip at each
// local midnight with --days, after a gap longer than GAP with --trips), and
// per trip the time, points, distance, moving time, highest speed and runs of
// marks, with the totals. No widgets here.
#include "conversion/track_export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trk7700::client {

// One record of the track text, from its RMC line.
struct TrackRecord {
    int64_t utcSeconds = 0;
    double latitude = 0;               // degrees, south negative
    double longitude = 0;              // degrees, west negative
    std::optional<double> speedKnots;  // what the logger recorded; none when the field is empty
    std::string mark;                  // the mark column's text: "---" unmarked, "--5", "-42"
};

struct TrackRecords {
    std::vector<TrackRecord> records;
    size_t unreadableLines = 0;  // data lines that are no record (cut or garbled)
};

// The records of a track text (its two header lines skipped); error is set
// when the file cannot be read.
TrackRecords readTrackRecords(const std::string &trackTextPath, std::string &error);

// The index of each trip's first record, cut as the KML and GPX files are
// (TrackCutter): with days, a new trip where the local date (the
// process's time zone) changes; with a gap, where the time from one record to
// the next is more than the gap; both together, either. No split: one trip.
std::vector<size_t> tripStarts(const std::vector<TrackRecord> &records, const TrackSplitting &splitting);

// A new run of marks starts at a marked record whose mark differs from the
// record before: the waypoints of the GPX and KML files.
bool startsMarkRun(const std::vector<TrackRecord> &records, size_t index);

inline constexpr double kKilometresPerHourPerKnot = 1.852;
// The logger counts as moving from a record on whose speed is at least this.
inline constexpr double kMovingKnots = 1.0;

struct TripStatistics {
    int64_t start = 0, end = 0;  // UTC seconds of the first and last record
    size_t points = 0;
    double distanceMetres = 0;  // along the track
    int64_t durationSeconds = 0;
    // Time from each record to the next while the speed it recorded was at
    // least kMovingKnots.
    int64_t movingSeconds = 0;
    std::optional<double> maxSpeedKmh;  // the highest recorded speed; none without any
    size_t marks = 0;                   // runs of marks that start in the trip
};

struct TrackStatistics {
    std::vector<TripStatistics> trips;
    TripStatistics total;  // points, distance, duration, moving time and marks summed, the highest speed
};

TrackStatistics trackStatistics(const std::vector<TrackRecord> &records, const TrackSplitting &splitting);

// Reads the track text and computes its figures; false, with the reason in
// error, when it cannot be read.
bool readoutStatistics(const std::string &trackTextPath, const TrackSplitting &splitting, TrackStatistics &statistics,
                       std::string &error);

// "2026-11-20T08:00:00Z"
std::string isoUtc(int64_t utcSeconds);

// One JSON object: {"trips": [...], "total": {...}}, times in UTC.
std::string statisticsJson(const TrackStatistics &statistics);

// The table for people: a header row, a row per trip and the total row; the
// terminal and the map page lay out the same cells.
std::vector<std::vector<std::string>> statisticsCells(const TrackStatistics &statistics);
std::string statisticsTable(const TrackStatistics &statistics);

// The window's status line: "3 Fahrten, 600 Punkte, 12,3 km".
std::string statisticsSummary(const TrackStatistics &statistics);

}  // namespace trk7700::client
