#include "conversion/track_export.h"

#include "conversion/file_ops.h"
#include "conversion/track_records.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
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
        // XML cannot hold control characters at all, not even as references.
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            out += '?';
            continue;
        }
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

std::string gpsBabelWholeInputName(const ReadoutFiles &files)
{
    return inFolder(files.folder, ".Wayfolk" + files.stamp + ".gpsbabel.nmea");
}

std::string gpsBabelTrackInputPrefix(const ReadoutFiles &files)
{
    return inFolder(files.folder, ".Wayfolk" + files.stamp + ".track-");
}

namespace {

// An input file of GPSBabel's, made fresh.
class InputFile {
public:
    bool open(const std::string &path, GpsBabelInput &input)
    {
        close(input);
        file_ = createFreshFile(path);
        if (file_ == nullptr) {
            input.error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        path_ = path;
        input.scratch.push_back(path);
        return true;
    }
    void write(const std::string &sentence)
    {
        if (file_ != nullptr && (std::fwrite(sentence.data(), 1, sentence.size(), file_) != sentence.size() ||
                                 std::fwrite("\r\n", 1, 2, file_) != 2))
            failed_ = true;
    }
    void close(GpsBabelInput &input)
    {
        if (file_ == nullptr) return;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if ((failed_ || !closed) && input.error.empty()) input.error = "cannot write " + path_ + ": is the disk full?";
        failed_ = false;
    }
    ~InputFile()
    {
        if (file_ != nullptr) std::fclose(file_);
    }

private:
    std::FILE *file_ = nullptr;
    std::string path_;
    bool failed_ = false;
};

}  // namespace

GpsBabelInput prepareGpsBabelInput(const ReadoutFiles &files, const TrackSplitting &splitting)
{
    GpsBabelInput input;
    input.whole = files.nmea;
    auto eachRecord = [&](const std::function<void(const SentenceRecord &)> &onRecord) {
        std::ifstream in(files.nmea, std::ios::binary);
        if (!in) {
            input.error = "cannot read " + files.nmea + ": " + std::strerror(errno);
            return;
        }
        RecordAssembler records(onRecord);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) records.add(line);
        }
        records.finish();
    };
    eachRecord([&](const SentenceRecord &r) {
        if (r.possible())
            ++input.records;
        else
            ++input.leftOut;
    });
    if (!input.ok()) return input;

    const bool split = splitting.tripGapSeconds > 0 || splitting.days;
    if (input.leftOut == 0 && !split) return input;
    InputFile whole, track;
    if (input.leftOut > 0) {
        input.whole = gpsBabelWholeInputName(files);
        if (!whole.open(input.whole, input)) return input;
    }
    TrackCutter cutter(splitting.tripGapSeconds, splitting.days);
    auto writeRecord = [](InputFile &file, const SentenceRecord &r) {
        if (!r.gga.empty()) file.write(r.gga);
        if (!r.rmc.empty()) file.write(r.rmc);
    };
    eachRecord([&](const SentenceRecord &r) {
        if (!input.ok() || !r.possible()) return;
        if (input.leftOut > 0) writeRecord(whole, r);
        if (!split) return;
        if (input.tracks.empty() || cutter.startsNewTrack(r.utcSeconds())) {
            if (input.tracks.empty()) cutter.startsNewTrack(r.utcSeconds());
            const std::string path =
                gpsBabelTrackInputPrefix(files) + std::to_string(input.tracks.size() + 1) + kGpsBabelTrackInputSuffix;
            if (!track.open(path, input)) return;
            input.tracks.push_back(path);
        }
        writeRecord(track, r);
    });
    whole.close(input);
    track.close(input);
    return input;
}

void removeGpsBabelInput(const GpsBabelInput &input)
{
    for (const auto &path : input.scratch) removeFile(path);
}

std::vector<MarkWaypoint> markWaypoints(const std::string &trackTextPath, std::string &error, int64_t rolloverToday)
{
    std::vector<MarkWaypoint> waypoints;
    std::FILE *in = openRegularForReading(trackTextPath);
    if (in == nullptr) {
        error = trackTextPath + ": " + std::strerror(errno);
        return waypoints;
    }
    // A run begins where the mark changes; its waypoint is its first record
    // that can be a position and a time.
    std::string previousMark = kUnmarked;
    bool runHasWaypoint = false;
    std::string recordMark;
    auto takeRecord = [&](const SentenceRecord &r) {
        const std::string mark = recordMark;
        if (mark != previousMark) runHasWaypoint = false;
        previousMark = mark;
        if (mark == kUnmarked || runHasWaypoint || !r.possible() || r.gga.empty()) return;
        const auto fields = split(r.gga, ',');
        MarkWaypoint w;
        w.name = markName(mark);
        w.latitude = degrees(fields[2], fields[3], 2);
        w.longitude = degrees(fields[4], fields[5], 3);
        if (std::isnan(w.latitude) || std::isnan(w.longitude)) return;
        const std::string rmc = rolloverToday >= 0 ? correctWeekRollover(r.rmc, rolloverToday) : r.rmc;
        const auto rmcFields = split(rmc, ',');
        const std::string &t = fields[1];
        const std::string date = rmcFields.size() > 9 ? rmcFields[9] : "";
        if (date.size() == 6 && t.size() >= 6)
            w.time = "20" + date.substr(4, 2) + "-" + date.substr(2, 2) + "-" + date.substr(0, 2) + "T" +
                     t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4, 2) + "Z";
        waypoints.push_back(w);
        runHasWaypoint = true;
    };
    RecordAssembler records(takeRecord);
    std::string line;
    size_t lineNumber = 0;
    bool tooLong = false;
    while (readBoundedLine(in, line, tooLong)) {
        ++lineNumber;
        // The two header lines, and lines that are no record.
        if (lineNumber <= 2 || tooLong || line.size() <= kMarkColumnWidth) continue;
        const std::string sentence = line.substr(kMarkColumnWidth);
        // A GGA line begins a record: the record before it is complete.
        if (sentence.rfind("$GPGGA,", 0) == 0) {
            records.finish();
            recordMark = line.substr(0, kMarkTextWidth);
        }
        records.add(sentence);
    }
    std::fclose(in);
    records.finish();
    return waypoints;
}

bool writeWaypointsGpx(const std::vector<MarkWaypoint> &waypoints, const std::string &path, std::string &error)
{
    // A scratch file of the run, made the one safe way: never through a link.
    std::FILE *file = createFreshFile(path);
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream out;
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
    const std::string text = out.str();
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        error = path + ": " + std::strerror(errno);
        removeFile(path);
        return false;
    }
    return true;
}

GpsBabelRun exportRun(const std::vector<std::string> &nmeaInputs, const std::string &waypointsGpx,
                      const std::string &format, const std::string &output)
{
    GpsBabelInputs inputs{true, {}, waypointsGpx, {}};
    if (nmeaInputs.size() > 1) inputs.moreNmea.assign(nmeaInputs.begin() + 1, nmeaInputs.end());
    return gpsBabelRun(nmeaInputs.empty() ? std::string() : nmeaInputs.front(), format, output, inputs);
}

std::vector<GpsBabelRun> exportRuns(const ReadoutFiles &files, const ExportOptions &options,
                                    const std::string &waypointsGpx, const GpsBabelInput &input)
{
    std::vector<GpsBabelRun> runs;
    for (const auto &target : exportTargets(files, options)) {
        const bool oneTrack = target.format == "ozi";
        const std::vector<std::string> inputs =
            oneTrack || input.tracks.empty() ? std::vector<std::string>{input.whole} : input.tracks;
        runs.push_back(exportRun(inputs, oneTrack ? "" : waypointsGpx, target.format, target.output));
    }
    return runs;
}

}  // namespace trk7700::client
