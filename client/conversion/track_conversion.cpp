#include "conversion/track_conversion.h"

#include "conversion/track_records.h"

#include "conversion/file_ops.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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
// file name can hold (the separator, '/' or NUL; the library never writes such
// a mark) gets no file of its own: its lines go to the whole-log file only.
bool canNameFile(const std::string &markText)
{
    return markText.find_first_of(std::string("/\0", 2) + kFolderSeparator) == std::string::npos;
}

}  // namespace

bool readBoundedLine(std::FILE *file, std::string &line, bool &tooLong)
{
    line.clear();
    tooLong = false;
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() < kMaxTrackLineBytes)
            line += static_cast<char>(c);
        else
            tooLong = true;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

std::string makeDateStamp(const std::tm &t)
{
    return twoDigits(t.tm_mday) + "_" + twoDigits(t.tm_mon + 1) + "-" + std::to_string(t.tm_hour) + "_" +
           twoDigits(t.tm_min) + "_" + twoDigits(t.tm_sec);
}

std::string makeDateStampNow() { return makeDateStamp(localCalendarTime(std::time(nullptr))); }

ReadoutFiles readoutFiles(const std::string &folder, const std::string &stamp)
{
    ReadoutFiles f;
    f.folder = folder;
    f.stamp = stamp;
    const std::string base = inFolder(folder, "Wayfolk" + stamp);
    f.trackText = base + ".txt";
    f.nmea = base + ".nmea";
    f.kml = base + ".kml";
    f.plt = base + ".plt";
    f.gpx = base + ".gpx";
    return f;
}

std::string ReadoutFiles::markFile(const std::string &markText) const
{
    return inFolder(folder, "wayfolk(TAG" + markText + ")" + stamp + ".nmea");
}

std::string partialName(const std::string &path) { return path + ".partial"; }

std::string gpsBabelPartialName(const std::string &output)
{
    const auto dot = output.rfind('.');
    const auto slash = output.find_last_of(std::string("/") + kFolderSeparator);
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return output + ".partial";
    return output.substr(0, dot) + ".partial" + output.substr(dot);
}

namespace {

// An output file written under its partial name and renamed into place when
// complete. Whatever stood under either name (a planted link, a FIFO) is
// replaced, never written through or waited on.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;
    ~ReplacingFile() { abandon(); }

    bool open(const std::string &path)
    {
        abandon();
        path_ = path;
        failed_ = false;
        file_ = createFreshFile(partialName(path));
        return file_ != nullptr;
    }
    bool isOpen() const { return file_ != nullptr; }
    void write(const std::string &text)
    {
        if (file_ != nullptr && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
    }
    // Closes the file and gives it its real name; false when anything failed.
    bool commit()
    {
        if (file_ == nullptr) return false;
        const bool written = std::fflush(file_) == 0 && !failed_ && std::ferror(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        const std::string partial = partialName(path_);
        std::string error;
        if (written && closed && replaceFile(partial, path_, error)) return true;
        removeFile(partial);
        return false;
    }
    void abandon()
    {
        if (file_ == nullptr) return;
        std::fclose(file_);
        file_ = nullptr;
        removeFile(partialName(path_));
    }

private:
    std::string path_;
    std::FILE *file_ = nullptr;
    bool failed_ = false;
};

}  // namespace

ConversionOutcome convertTrackText(const ReadoutFiles &files, bool perMark)
{
    return convertTrackText(files, ConversionChoices{perMark, -1});
}

ConversionOutcome convertTrackText(const ReadoutFiles &files, const ConversionChoices &choices)
{
    const bool perMark = choices.perMark;
    ConversionOutcome outcome;
    RecordAssembler records([&outcome](const SentenceRecord &r) {
        if (!r.possible()) {
            ++outcome.impossibleRecords;
        } else if (const int64_t day = sentenceDay(r.rmc); day >= 0) {
            outcome.newestDay = day;
        }
    });
    std::FILE *in = openRegularForReading(files.trackText);
    if (in == nullptr) {
        outcome.failure = ConversionOutcome::Failure::trackTextMissing;
        outcome.failedPath = files.trackText;
        return outcome;
    }
    auto fail = [&](ConversionOutcome::Failure failure, const std::string &path) {
        std::fclose(in);
        outcome.failure = failure;
        outcome.failedPath = path;
        return outcome;
    };
    ReplacingFile nmea;
    if (!nmea.open(files.nmea)) return fail(ConversionOutcome::Failure::nmeaNotWritable, files.nmea);
    ReplacingFile markFile;
    std::string markPath;
    std::string previousMark = kUnmarked;
    size_t lineNumber = 0;
    bool tooLong = false;
    for (std::string line; readBoundedLine(in, line, tooLong);) {
        ++lineNumber;
        // No record line is that long: such a line is no record (convert refuses the text).
        if (lineNumber <= 2 || tooLong) continue;  // the two header lines
        const std::string mark = line.substr(0, kMarkTextWidth);
        if (mark != previousMark && perMark) {
            if (markFile.isOpen() && !markFile.commit())
                return fail(ConversionOutcome::Failure::markFileNotWritable, markPath);
            if (mark != kUnmarked && canNameFile(mark)) {
                markPath = files.markFile(mark);
                if (!markFile.open(markPath)) return fail(ConversionOutcome::Failure::markFileNotWritable, markPath);
                outcome.markFiles.push_back(markPath);
            }
        }
        const std::string asGiven = line.size() > kMarkColumnWidth ? line.substr(kMarkColumnWidth) : std::string();
        if (!asGiven.empty()) records.add(asGiven);
        std::string sentence = asGiven;
        if (choices.rolloverToday >= 0) {
            sentence = correctWeekRollover(asGiven, choices.rolloverToday);
            if (sentence != asGiven) ++outcome.correctedRecords;
        }
        nmea.write(sentence + kLineEnd);
        ++outcome.sentenceLines;
        if (mark != kUnmarked) ++outcome.markedLines;
        if (markFile.isOpen()) markFile.write(sentence + kLineEnd);
        previousMark = mark;
    }
    if (markFile.isOpen() && !markFile.commit()) return fail(ConversionOutcome::Failure::markFileNotWritable, markPath);
    if (!nmea.commit()) return fail(ConversionOutcome::Failure::nmeaNotWritable, files.nmea);
    std::fclose(in);
    records.finish();
    return outcome;
}

GpsBabelRun gpsBabelRun(const std::string &nmea, const std::string &format, const std::string &output,
                        const GpsBabelInputs &inputs)
{
    GpsBabelRun run{format, output, {"-p", "", "-w"}};
    auto &arguments = run.arguments;
    if (inputs.tracks) arguments.push_back("-t");
    arguments.insert(arguments.end(), {"-i", "nmea", "-f", nmea});
    for (const auto &more : inputs.moreNmea) arguments.insert(arguments.end(), {"-f", more});
    if (!inputs.waypointsGpx.empty()) arguments.insert(arguments.end(), {"-i", "gpx", "-f", inputs.waypointsGpx});
    arguments.insert(arguments.end(), inputs.filters.begin(), inputs.filters.end());
    // The output comes last: runGpsBabelChecked puts its partial name there.
    arguments.insert(arguments.end(), {"-o", gpsBabelOutputFormat(format), "-F", output});
    return run;
}

std::string gpsBabelOutputFormat(const std::string &format)
{
    return format == "kml" ? "kml,points=0,units=m,track=1,trackdata=0,lines=0" : format;
}

std::vector<ExportTarget> exportTargets(const ReadoutFiles &files, const ExportOptions &options)
{
    std::vector<ExportTarget> targets;
    if (options.kml) targets.push_back({"kml", files.kml});
    if (options.plt) targets.push_back({"ozi", files.plt});
    if (options.gpx) targets.push_back({"gpx", files.gpx});
    return targets;
}

std::vector<GpsBabelRun> gpsBabelRuns(const ReadoutFiles &files, const ExportOptions &options)
{
    std::vector<GpsBabelRun> runs;
    for (const auto &target : exportTargets(files, options))
        runs.push_back(gpsBabelRun(files.nmea, target.format, target.output));
    return runs;
}

namespace {

// The whole file, or nothing when it is not a regular file.
bool readRegularFile(const std::string &path, std::string &content)
{
    std::FILE *file = openRegularForReading(path);
    if (file == nullptr) return false;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) content.append(buffer, n);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool endsWithClosingTag(const std::string &content, const std::string &tag)
{
    const auto last = content.find_last_not_of(" \t\r\n");
    return last != std::string::npos && last + 1 >= tag.size() &&
           content.compare(last + 1 - tag.size(), tag.size(), tag) == 0;
}

// The PLT file: six header lines, then one whole line (CR LF) per point.
bool pltHoldsPoints(const std::string &content, size_t expectedPoints)
{
    if (content.size() < 2 || content.compare(content.size() - 2, 2, "\r\n") != 0) return false;
    size_t lines = 0;
    for (char c : content) lines += c == '\n' ? 1 : 0;
    return lines >= 6 && lines - 6 == expectedPoints;
}

}  // namespace

bool gpsBabelOutputComplete(const std::string &format, const std::string &path, size_t expectedPoints)
{
    std::string content;
    if (!readRegularFile(path, content)) return false;
    // GPSBabel drops sentences it cannot take (a wrong checksum) and still
    // exits 0: a GPX of a log with points must hold points.
    if (format == "gpx")
        return endsWithClosingTag(content, "</gpx>") &&
               (expectedPoints == 0 || content.find("<trkpt") != std::string::npos);
    if (format == "kml") return endsWithClosingTag(content, "</kml>");
    if (format == "ozi") return pltHoldsPoints(content, expectedPoints);
    return !content.empty();
}

GpsBabelOutcome runGpsBabelChecked(const GpsBabelRun &run, size_t expectedPoints,
                                   const std::function<void(pid_t)> &started)
{
    GpsBabelOutcome outcome;
    const std::string partial = gpsBabelPartialName(run.output);
    // GPSBabel opens the partial name that we made a fresh regular file.
    std::FILE *fresh = createFreshFile(partial);
    if (fresh == nullptr) {
        outcome.kind = GpsBabelOutcome::Kind::failed;
        outcome.error = partial + ": " + std::strerror(errno);
        return outcome;
    }
    std::fclose(fresh);
    std::vector<std::string> arguments = run.arguments;
    if (!arguments.empty()) arguments.back() = partial;  // "-F" <output> ends the list
    bool programMissing = false;
    outcome.status =
        runAndWait(kGpsBabelProgram, arguments, outcome.error, outcome.diagnostics, started, &programMissing);
    if (programMissing)
        outcome.kind = GpsBabelOutcome::Kind::cannotStart;
    else if (outcome.status != 0)
        outcome.kind = GpsBabelOutcome::Kind::failed;
    else if (!gpsBabelOutputComplete(run.format, partial, expectedPoints))
        outcome.kind = GpsBabelOutcome::Kind::cut;
    else if (!replaceFile(partial, run.output, outcome.error)) {
        outcome.kind = GpsBabelOutcome::Kind::failed;
    } else {
        outcome.kind = GpsBabelOutcome::Kind::made;
        return outcome;
    }
    removeFile(partial);
    return outcome;
}

void removePlantedEntry(const std::string &path)
{
    if (isPlantedEntry(path)) removeFile(path);
}

}  // namespace trk7700::client
