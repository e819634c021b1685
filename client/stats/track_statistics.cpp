#include "stats/track_statistics.h"

#include "conversion/file_ops.h"
#include "conversion/track_records.h"
#include "stats/geodesic.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace trk7700::client {
namespace {

constexpr size_t kMarkColumnWidth = 4;
constexpr size_t kMarkTextWidth = 3;
constexpr size_t kHeaderLines = 2;
const std::string kUnmarked = "---";

std::vector<std::string> fieldsOf(const std::string &text)
{
    std::vector<std::string> fields;
    std::stringstream in(text);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (!text.empty() && text.back() == ',') fields.emplace_back();
    return fields;
}

bool digitsOnly(const std::string &text, size_t from, size_t count)
{
    if (text.size() < from + count) return false;
    for (size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

int number(const std::string &text, size_t from, size_t count) { return std::stoi(text.substr(from, count)); }

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t daysFromCivil(int y, int m, int d)
{
    using namespace std::chrono;
    return sys_days{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}}
        .time_since_epoch()
        .count();
}

// "4807.0380" with "N" in degrees; false when malformed.
bool degrees(const std::string &value, const std::string &hemisphere, double &result)
{
    if (value.empty() || (hemisphere != "N" && hemisphere != "S" && hemisphere != "E" && hemisphere != "W"))
        return false;
    char *end = nullptr;
    const double whole = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !std::isfinite(whole) || whole < 0) return false;
    const double d = std::floor(whole / 100.0);
    result = d + (whole - d * 100.0) / 60.0;
    if (hemisphere == "S" || hemisphere == "W") result = -result;
    return true;
}

// The record of an RMC line: "$GPRMC,094512.000,A,2503.1234,N,12134.5678,E,7.00,0.00,051226,,*04".
bool parseRmc(const std::string &sentence, TrackRecord &record)
{
    const auto f = fieldsOf(sentence.substr(0, sentence.find('*')));
    if (f.size() < 10 || f[0] != "$GPRMC") return false;
    const std::string &time = f[1], &date = f[9];
    if (!digitsOnly(time, 0, 6) || !digitsOnly(date, 0, 6) || date.size() != 6) return false;
    const int hour = number(time, 0, 2), minute = number(time, 2, 2), second = number(time, 4, 2);
    const int day = number(date, 0, 2), month = number(date, 2, 2), year = 2000 + number(date, 4, 2);
    if (hour > 23 || minute > 59 || second > 60 || day < 1 || day > 31 || month < 1 || month > 12) return false;
    if (!degrees(f[3], f[4], record.latitude) || !degrees(f[5], f[6], record.longitude)) return false;
    if (std::fabs(record.latitude) > 90 || std::fabs(record.longitude) > 180) return false;
    record.utcSeconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    record.speedKnots.reset();
    if (!f[7].empty()) {
        char *end = nullptr;
        const double knots = std::strtod(f[7].c_str(), &end);
        if (end != f[7].c_str() && *end == '\0' && std::isfinite(knots) && knots >= 0) record.speedKnots = knots;
    }
    return true;
}

std::string format(const char *pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// "1:05:03"
std::string hoursMinutesSeconds(int64_t seconds)
{
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

// "2026-11-20 08:00:00"
std::string readableUtc(int64_t utcSeconds)
{
    std::string iso = isoUtc(utcSeconds);
    iso[10] = ' ';
    iso.pop_back();
    return iso;
}

}  // namespace

TrackRecords readTrackRecords(const std::string &trackTextPath, std::string &error)
{
    TrackRecords result;
    std::ifstream in(trackTextPath, std::ios::binary);
    if (!in) {
        error = trackTextPath + ": " + std::strerror(errno);
        return result;
    }
    std::string line;
    for (size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber <= kHeaderLines || line.empty()) continue;
        // Every record has a GGA line too; the RMC line alone carries the date and the speed.
        if (line.size() > kMarkColumnWidth && line.compare(kMarkColumnWidth, 7, "$GPGGA,") == 0) continue;
        TrackRecord record;
        if (line.size() > kMarkColumnWidth && parseRmc(line.substr(kMarkColumnWidth), record)) {
            record.mark = line.substr(0, kMarkTextWidth);
            result.records.push_back(std::move(record));
        } else {
            ++result.unreadableLines;
        }
    }
    if (in.bad()) error = trackTextPath + ": " + std::strerror(errno);
    return result;
}

std::vector<size_t> tripStarts(const std::vector<TrackRecord> &records, const TrackSplitting &splitting)
{
    std::vector<size_t> starts;
    TrackCutter cutter(splitting.tripGapSeconds, splitting.days);
    for (size_t i = 0; i < records.size(); ++i)
        if (cutter.startsNewTrack(records[i].utcSeconds) || i == 0) starts.push_back(i);
    return starts;
}

bool startsMarkRun(const std::vector<TrackRecord> &records, size_t index)
{
    const std::string &mark = records[index].mark;
    const std::string &before = index == 0 ? kUnmarked : records[index - 1].mark;
    return mark != kUnmarked && mark != before;
}

TrackStatistics trackStatistics(const std::vector<TrackRecord> &records, const TrackSplitting &splitting)
{
    TrackStatistics statistics;
    const auto starts = tripStarts(records, splitting);
    TripStatistics &total = statistics.total;
    for (size_t t = 0; t < starts.size(); ++t) {
        const size_t first = starts[t], end = t + 1 < starts.size() ? starts[t + 1] : records.size();
        TripStatistics trip;
        trip.start = records[first].utcSeconds;
        trip.end = records[end - 1].utcSeconds;
        trip.points = end - first;
        // A clock that stepped back inside the trip gives no negative duration.
        trip.durationSeconds = std::max<int64_t>(0, trip.end - trip.start);
        for (size_t i = first; i < end; ++i) {
            const TrackRecord &r = records[i];
            if (r.speedKnots)
                trip.maxSpeedKmh = std::max(trip.maxSpeedKmh.value_or(0.0), *r.speedKnots * kKilometresPerHourPerKnot);
            if (startsMarkRun(records, i)) ++trip.marks;
            if (i + 1 == end) break;
            const TrackRecord &next = records[i + 1];
            trip.distanceMetres += distanceMetres(r.latitude, r.longitude, next.latitude, next.longitude);
            const int64_t step = next.utcSeconds - r.utcSeconds;
            if (step > 0 && r.speedKnots && *r.speedKnots >= kMovingKnots) trip.movingSeconds += step;
        }
        total.points += trip.points;
        total.distanceMetres += trip.distanceMetres;
        total.durationSeconds += trip.durationSeconds;
        total.movingSeconds += trip.movingSeconds;
        total.marks += trip.marks;
        if (trip.maxSpeedKmh) total.maxSpeedKmh = std::max(total.maxSpeedKmh.value_or(0.0), *trip.maxSpeedKmh);
        statistics.trips.push_back(trip);
    }
    if (!records.empty()) {
        total.start = records.front().utcSeconds;
        total.end = records.back().utcSeconds;
    }
    return statistics;
}

bool readoutStatistics(const std::string &trackTextPath, const TrackSplitting &splitting, TrackStatistics &statistics,
                       std::string &error)
{
    const TrackRecords read = readTrackRecords(trackTextPath, error);
    if (!error.empty()) return false;
    statistics = trackStatistics(read.records, splitting);
    return true;
}

std::string isoUtc(int64_t utcSeconds)
{
    const std::tm utc = utcCalendarTime(static_cast<std::time_t>(utcSeconds));
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string statisticsJson(const TrackStatistics &statistics)
{
    std::string json = "{\"trips\": [";
    for (size_t i = 0; i < statistics.trips.size(); ++i) {
        const TripStatistics &t = statistics.trips[i];
        json += std::string(i == 0 ? "" : ", ") + "{\"start\": \"" + isoUtc(t.start) + "\", \"end\": \"" +
                isoUtc(t.end) + "\", \"points\": " + std::to_string(t.points) +
                ", \"distance_m\": " + format("%.1f", t.distanceMetres) +
                ", \"duration_s\": " + std::to_string(t.durationSeconds) +
                ", \"moving_s\": " + std::to_string(t.movingSeconds) +
                ", \"max_speed_kmh\": " + (t.maxSpeedKmh ? format("%.1f", *t.maxSpeedKmh) : "null") +
                ", \"marks\": " + std::to_string(t.marks) + "}";
    }
    const TripStatistics &total = statistics.total;
    json += "], \"total\": {\"trips\": " + std::to_string(statistics.trips.size()) +
            ", \"points\": " + std::to_string(total.points) +
            ", \"distance_m\": " + format("%.1f", total.distanceMetres) +
            ", \"duration_s\": " + std::to_string(total.durationSeconds) + "}}";
    return json;
}

std::vector<std::vector<std::string>> statisticsCells(const TrackStatistics &statistics)
{
    std::vector<std::vector<std::string>> rows = {
        {"Trip", "Start (UTC)", "End (UTC)", "Points", "Distance", "Duration", "Moving", "Top speed", "Marks"}};
    auto row = [](const std::string &name, const TripStatistics &t) {
        return std::vector<std::string>{name,
                                        readableUtc(t.start),
                                        readableUtc(t.end),
                                        std::to_string(t.points),
                                        format("%.2f km", t.distanceMetres / 1000.0),
                                        hoursMinutesSeconds(t.durationSeconds),
                                        hoursMinutesSeconds(t.movingSeconds),
                                        t.maxSpeedKmh ? format("%.1f km/h", *t.maxSpeedKmh) : "-",
                                        std::to_string(t.marks)};
    };
    for (size_t i = 0; i < statistics.trips.size(); ++i)
        rows.push_back(row(std::to_string(i + 1), statistics.trips[i]));
    if (!statistics.trips.empty()) rows.push_back(row("Total", statistics.total));
    return rows;
}

std::string statisticsTable(const TrackStatistics &statistics)
{
    const auto rows = statisticsCells(statistics);
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const auto &r : rows)
        for (size_t c = 0; c < r.size(); ++c) widths[c] = std::max(widths[c], r[c].size());
    std::string table;
    for (const auto &r : rows) {
        std::string line;
        for (size_t c = 0; c < r.size(); ++c) {
            // Names and times to the left, figures to the right.
            const std::string padding(widths[c] - r[c].size(), ' ');
            line += "  " + (c < 3 ? r[c] + padding : padding + r[c]);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        table += line + "\n";
    }
    return table;
}

std::string statisticsSummary(const TrackStatistics &statistics)
{
    const size_t trips = statistics.trips.size();
    std::string distance = format("%.1f km", statistics.total.distanceMetres / 1000.0);
    std::replace(distance.begin(), distance.end(), '.', ',');
    return std::to_string(trips) + (trips == 1 ? " Fahrt, " : " Fahrten, ") + std::to_string(statistics.total.points) +
           (statistics.total.points == 1 ? " Punkt, " : " Punkte, ") + distance;
}

}  // namespace trk7700::client
