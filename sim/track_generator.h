#pragma once
// Realistic log memories for the simulated logger: trips in all four
// hemispheres (one of them a sail across the equator and the prime meridian),
// stops, marks, stretches without altitude, a ring that wrapped. The same
// shape and seed always give the same image. The records are encoded here,
// never with the library's code.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace trk7700::sim {

enum class LogShape {
    drive,    // a few trips from slot 0 on, some marks; never wrapped
    marks,    // like drive, with the mark button pressed often (mark numbers 0..254 and round again)
    wrapped,  // a long history that wrapped: newest records from slot 0, a gap, the oldest up to the last slot
    twoGaps,  // wrapped, and a second run of empty slots among the older records
    empty,    // erased: every slot empty
    full,     // every slot used, oldest in slot 0
};

// "drive", "marks", "wrapped", "two-gaps", "empty", "full".
const char *logShapeName(LogShape shape);
std::optional<LogShape> logShapeNamed(const std::string &name);
const std::vector<LogShape> &allLogShapes();

// One record as the logger meant it.
struct TrackPoint {
    double latitude;              // degrees, south negative; exactly what the record holds
    double longitude;             // degrees, west negative
    int64_t utcSeconds;           // seconds since 1970-01-01 UTC
    std::optional<int> altitude;  // metres; none for a fix without altitude
    int speedKnots;
    int tag;  // mark number, 0xFF for none
};

struct GeneratedLog {
    std::vector<uint8_t> image;                   // the whole log memory, 3,997,696 bytes
    std::vector<size_t> writeOrder;               // the used slots in the order they were written, oldest first
    std::vector<TrackPoint> points;               // the record of each slot in writeOrder
    std::vector<std::pair<size_t, size_t>> gaps;  // runs of empty slots [begin, end) among used ones
};

GeneratedLog generateLog(LogShape shape, uint64_t seed);

// The 16 bytes of one record.
void encodeRecord(const TrackPoint &point, uint8_t *out);

}  // namespace trk7700::sim
