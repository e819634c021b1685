#include "conversion/track_export.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace trk7700::client {
namespace {

constexpr size_t kMarkTextWidth = 3;
constexpr size_t kMarkColumnWidth = 4;
const std::string kUnmarked = "---";

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> fields;
    std::stringstream in(text);
    for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
    return fields;
}

// "4807.0380" with "N" as degrees; NAN when malformed.
double degrees(const std::string &value, const std::string &hemisphere, int degreeDigits)
{
    if (value.size() < static_cast<size_t>(degreeDigits) + 2) return NAN;
    char *end = nullptr;
    const double whole = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0') return NAN;
    const double d = std::floor(whole / 100.0);
    const double result = d + (whole - d * 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -result : result;
}

// "Mark 5" for the mark text "--5", "Mark 42" for "-42".
std::string markName(const std::string &markText)
{
    const size_t first = markText.find_first_not_of('-');
    return "Mark " + (first == std::string::npos ? markText : markText.substr(first));
}

std::string escapeXml(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

long parseDuration(const std::string &text)
{
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return -1;
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || value <= 0) return -1;
    const std::string unit(end);
    long factor = 0;
    if (unit == "s")
        factor = 1;
    else if (unit.empty() || unit == "m" || unit == "min")
        factor = 60;
    else if (unit == "h")
        factor = 3600;
    else if (unit == "d")
        factor = 86400;
    if (factor == 0 || value > 366L * 86400 / factor) return -1;
    return value * factor;
}

std::vector<std::string> trackSplitArguments(const TrackSplitting &splitting)
{
    std::vector<std::string> arguments;
    // Days first: a trip that passes midnight is cut there as well.
    if (splitting.days) arguments.insert(arguments.end(), {"-x", "track,split"});
    if (splitting.tripGapSeconds > 0)
        arguments.insert(arguments.end(), {"-x", "track,split=" + std::to_string(splitting.tripGapSeconds) + "s"});
    return arguments;
}

std::vector<MarkWaypoint> markWaypoints(const std::string &trackTextPath, std::string &error)
{
    std::vector<MarkWaypoint> waypoints;
    std::ifstream in(trackTextPath, std::ios::binary);
    if (!in) {
        error = trackTextPath + ": " + std::strerror(errno);
        return waypoints;
    }
    std::string line;
    std::string previousMark = kUnmarked;
    size_t lineNumber = 0;
    bool expectRmcOfWaypoint = false;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber <= 2 || line.size() <= kMarkColumnWidth) continue;  // the two header lines
        const std::string mark = line.substr(0, kMarkTextWidth);
        const auto fields = split(line.substr(kMarkColumnWidth), ',');
        if (fields.empty()) continue;
        if (fields[0] == "$GPGGA") {
            // A run begins where the mark changes; its first record is the waypoint.
            if (mark != previousMark && mark != kUnmarked && fields.size() > 5) {
                MarkWaypoint w;
                w.name = markName(mark);
                w.latitude = degrees(fields[2], fields[3], 2);
                w.longitude = degrees(fields[4], fields[5], 3);
                if (!std::isnan(w.latitude) && !std::isnan(w.longitude)) {
                    const std::string &t = fields[1];
                    w.time = t.size() >= 6 ? t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4, 2) : "";
                    waypoints.push_back(w);
                    expectRmcOfWaypoint = true;
                }
            }
            previousMark = mark;
        } else if (fields[0] == "$GPRMC" && expectRmcOfWaypoint) {
            // The date comes with the RMC line of the same record: ddmmyy.
            expectRmcOfWaypoint = false;
            const std::string date = fields.size() > 9 ? fields[9] : "";
            MarkWaypoint &w = waypoints.back();
            if (date.size() == 6 && !w.time.empty())
                w.time =
                    "20" + date.substr(4, 2) + "-" + date.substr(2, 2) + "-" + date.substr(0, 2) + "T" + w.time + "Z";
            else
                w.time.clear();
        }
    }
    if (!waypoints.empty() && expectRmcOfWaypoint) waypoints.back().time.clear();
    return waypoints;
}

bool writeWaypointsGpx(const std::vector<MarkWaypoint> &waypoints, const std::string &path, std::string &error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"trk7700\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    char position[80];
    for (const MarkWaypoint &w : waypoints) {
        std::snprintf(position, sizeof position, "lat=\"%.7f\" lon=\"%.7f\"", w.latitude, w.longitude);
        out << "  <wpt " << position << ">";
        if (!w.time.empty()) out << "<time>" << w.time << "</time>";
        out << "<name>" << escapeXml(w.name) << "</name></wpt>\n";
    }
    out << "</gpx>\n";
    out.flush();
    if (!out) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

GpsBabelRun exportRun(const std::string &nmeaPath, const std::string &waypointsGpx, const TrackSplitting &splitting,
                      const std::string &format, const std::string &output)
{
    return gpsBabelRun(nmeaPath, format, output, {true, waypointsGpx, trackSplitArguments(splitting)});
}

std::vector<GpsBabelRun> exportRuns(const ReadoutFiles &files, const ExportOptions &options,
                                    const std::string &waypointsGpx, const TrackSplitting &splitting)
{
    std::vector<GpsBabelRun> runs;
    for (const auto &target : exportTargets(files, options)) {
        const bool oneTrack = target.format == "ozi";
        runs.push_back(exportRun(files.nmea, oneTrack ? "" : waypointsGpx, oneTrack ? TrackSplitting{} : splitting,
                                 target.format, target.output));
    }
    return runs;
}

}  // namespace trk7700::client
