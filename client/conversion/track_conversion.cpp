#include "conversion/track_conversion.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace trk7700::client {
namespace {

std::string twoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

const std::string kLineEnd = "\r\n";
constexpr size_t kMarkColumnWidth = 4;
constexpr size_t kMarkTextWidth = 3;
const std::string kUnmarked = "---";

// The mark text becomes part of a file name. One that holds a character no
// file name can hold ('/' or NUL; the library never writes such a mark) gets
// no file of its own: its lines go to the whole-log file only.
bool canNameFile(const std::string &markText)
{
    return markText.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string makeDateStamp(const std::tm &t)
{
    return twoDigits(t.tm_mday) + "_" + twoDigits(t.tm_mon + 1) + "-" + std::to_string(t.tm_hour) + "_" +
           twoDigits(t.tm_min) + "_" + twoDigits(t.tm_sec);
}

std::string makeDateStampNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return makeDateStamp(local);
}

ReadoutFiles readoutFiles(const std::string &folder, const std::string &stamp)
{
    ReadoutFiles f;
    f.folder = folder;
    f.stamp = stamp;
    const std::string base = folder + "/Wayfolk" + stamp;
    f.trackText = base + ".txt";
    f.nmea = base + ".nmea";
    f.kml = base + ".kml";
    f.plt = base + ".plt";
    f.gpx = base + ".gpx";
    return f;
}

std::string ReadoutFiles::markFile(const std::string &markText) const
{
    return folder + "/wayfolk(TAG" + markText + ")" + stamp + ".nmea";
}

ConversionOutcome convertTrackText(const ReadoutFiles &files, bool perMark)
{
    ConversionOutcome outcome;
    std::ifstream in(files.trackText, std::ios::binary);
    if (!in) {
        outcome.failure = ConversionOutcome::Failure::trackTextMissing;
        outcome.failedPath = files.trackText;
        return outcome;
    }
    std::ofstream nmea(files.nmea, std::ios::binary | std::ios::trunc);
    if (!nmea) {
        outcome.failure = ConversionOutcome::Failure::nmeaNotWritable;
        outcome.failedPath = files.nmea;
        return outcome;
    }
    std::ofstream markFile;
    std::string previousMark = kUnmarked;
    std::string line;
    size_t lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber <= 2) continue;  // the two header lines
        const std::string mark = line.substr(0, kMarkTextWidth);
        if (mark != previousMark && perMark) {
            if (markFile.is_open()) markFile.close();
            if (mark != kUnmarked && canNameFile(mark)) {
                const std::string path = files.markFile(mark);
                markFile.open(path, std::ios::binary | std::ios::trunc);
                if (!markFile) {
                    outcome.failure = ConversionOutcome::Failure::markFileNotWritable;
                    outcome.failedPath = path;
                    return outcome;
                }
                outcome.markFiles.push_back(path);
            }
        }
        const std::string sentence = line.size() > kMarkColumnWidth ? line.substr(kMarkColumnWidth) : std::string();
        nmea << sentence << kLineEnd;
        ++outcome.sentenceLines;
        if (mark != kUnmarked) ++outcome.markedLines;
        if (markFile.is_open()) markFile << sentence << kLineEnd;
        previousMark = mark;
    }
    nmea.flush();
    if (!nmea) {
        outcome.failure = ConversionOutcome::Failure::nmeaNotWritable;
        outcome.failedPath = files.nmea;
    }
    return outcome;
}

std::vector<GpsBabelRun> gpsBabelRuns(const ReadoutFiles &files, const ExportOptions &options)
{
    std::vector<GpsBabelRun> runs;
    auto add = [&](const char *format, const std::string &output) {
        runs.push_back({format, output, {"-p", "", "-w", "-i", "nmea", "-f", files.nmea, "-o", format, "-F", output}});
    };
    if (options.kml) add("kml", files.kml);
    if (options.plt) add("ozi", files.plt);
    if (options.gpx) add("gpx", files.gpx);
    return runs;
}

}  // namespace trk7700::client
