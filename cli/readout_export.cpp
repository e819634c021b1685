#include "readout_export.h"

#include "conversion/file_ops.h"
#include "conversion/readout_progress.h"
#include "conversion/readout_staging.h"
#include "conversion/track_records.h"
#include "interrupt.h"
#include "platform.h"
#include "stats/map_page.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

// The marks as waypoints, GPSBabel's second input; a scratch file of the run.
std::string waypointsFile(const client::ReadoutFiles &files)
{
    return client::inFolder(files.folder, ".Wayfolk" + files.stamp + ".marks.gpx");
}

// The runs for the checked formats; GPX and KML carry the marks as waypoints.
std::vector<client::GpsBabelRun> gpsBabelRuns(RunContext &context, const client::ReadoutFiles &files,
                                              const ExportChoices &exports, const client::GpsBabelInput &input)
{
    std::string marks;
    if (exports.kml || exports.gpx) {
        std::string error;
        const auto waypoints = client::markWaypoints(files.trackText, error,
                                                     exports.weekRollover ? client::utcDay(std::time(nullptr)) : -1);
        if (!waypoints.empty() && client::writeWaypointsGpx(waypoints, waypointsFile(files), error))
            marks = waypointsFile(files);
        else if (!error.empty())
            context.note("the marks cannot become waypoints: " + error);
    }
    return client::exportRuns(files, exports, marks, input);
}

std::string humanSizeOf(uintmax_t bytes)
{
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%ju bytes", bytes);
    return text;
}

}  // namespace

void registerScratch(const client::ReadoutFiles &files, const std::string &input)
{
    std::vector<std::string> paths = {client::partialName(client::mapPagePath(files))};
    for (const char *name : client::kLibraryWorkFiles) paths.push_back(client::inFolder(files.folder, name));
    paths.push_back(client::stagedTrackText(files));
    paths.push_back(client::partialName(files.nmea));
    for (const std::string *path : {&files.kml, &files.plt, &files.gpx})
        paths.push_back(client::gpsBabelPartialName(*path));
    paths.push_back(waypointsFile(files));
    paths.push_back(client::gpsBabelWholeInputName(files));
    std::error_code ec;
    for (const auto &path : paths)
        if (input.empty() || !fs::equivalent(path, input, ec)) addScratchFile(path);
    const std::string markHead = "wayfolk(TAG", markTail = ")" + files.stamp + ".nmea.partial";
    const std::string inputName = fs::path(input).filename().string();
    const bool inputIsMarkPartial =
        !input.empty() && fs::equivalent(fs::path(input).parent_path(), files.folder, ec) &&
        inputName.rfind(markHead, 0) == 0 && inputName.size() >= markTail.size() &&
        inputName.compare(inputName.size() - markTail.size(), markTail.size(), markTail) == 0;
    if (!inputIsMarkPartial) addScratchPattern(files.folder, markHead, markTail);
    addScratchPattern(files.folder, fs::path(client::gpsBabelTrackInputPrefix(files)).filename().string(),
                      client::kGpsBabelTrackInputSuffix);
}

namespace {

// The GPSBabel runs go side by side; false when any did not make its file.
bool runGpsBabel(RunContext &context, const client::ReadoutFiles &files, const ExportChoices &exports,
                 std::vector<std::string> &made)
{
    client::GpsBabelInput input;
    context.runWork([&] { input = client::prepareGpsBabelInput(files, exports.splitting()); }, [] {},
                    "The track text and the NMEA file of this readout are complete.");
    struct InputRemover {
        const client::GpsBabelInput &input;
        ~InputRemover() { client::removeGpsBabelInput(input); }
    } remover{input};
    if (!input.ok()) {
        context.fail("cannot prepare GPSBabel's input: " + input.error + ". No KML, PLT or GPX files were made.");
        return false;
    }
    if (input.leftOut > 0)
        context.note(std::to_string(input.leftOut) + " of " + std::to_string(input.records + input.leftOut) +
                     " records were left out of the KML, PLT and GPX files: their values cannot be a position and "
                     "time (a latitude beyond 90 degrees, minutes of 60 or more, a month of 13, ...: flash that was "
                     "half written). The track text and the NMEA file keep them as the logger gave them.");
    const size_t points = input.records;
    if (points == 0) return true;
    struct Conversion {
        client::GpsBabelRun run;
        client::GpsBabelOutcome outcome;
        pid_t pid = 0;
    };
    std::vector<Conversion> conversions;
    for (const auto &run : gpsBabelRuns(context, files, exports, input)) conversions.push_back({run, {}});
    if (conversions.empty()) return true;
    std::vector<std::thread> running;
    std::atomic<size_t> finished{0};
    for (auto &c : conversions)
        running.push_back(startWorker([&c, &finished, points] {
            c.outcome = client::runGpsBabelChecked(c.run, points, [&c](pid_t pid) {
                c.pid = pid;
                addChildProcess(pid);
            });
            if (c.pid != 0) removeChildProcess(c.pid);
            ++finished;
        }));
    auto progress = context.progress();
    while (finished.load() < conversions.size()) {
        if (interruptSignal() != 0) endInterruptedRun("The track text and the NMEA file of this readout are complete.");
        progress->phase("GPSBabel makes the KML, PLT and GPX files...");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (auto &r : running) r.join();
    progress->finish("GPSBabel done");

    bool allMade = true, missingTold = false;
    for (const auto &c : conversions) {
        using Kind = client::GpsBabelOutcome::Kind;
        const auto &o = c.outcome;
        if (o.kind == Kind::made) {
            made.push_back(c.run.output);
            continue;
        }
        allMade = false;
        if (o.kind == Kind::cannotStart) {
            if (!missingTold)
                context.fail(std::string("GPSBabel cannot be started (program '") + client::kGpsBabelProgram +
                             "'): " + gpsBabelInstallAdvice() + ". No KML, PLT or GPX files were made.");
            missingTold = true;
        } else if (o.kind == Kind::cut) {
            context.fail("GPSBabel left " + c.run.output +
                         " incomplete (it exited 0, but the file is cut short: is the disk full?). The file was not "
                         "made; an earlier one of that name is kept.");
        } else {
            context.fail("GPSBabel could not make " + c.run.output + ": " +
                         (o.status < 0 ? o.error : "exit status " + std::to_string(o.status)) +
                         (o.diagnostics.empty() ? "" : "\n" + o.diagnostics));
        }
    }
    return allMade;
}

std::string isoDate(int64_t day)
{
    const std::time_t noon = static_cast<std::time_t>(day * 86400 + 43200);
    const std::tm t = client::utcCalendarTime(noon);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

// Old receivers date their records 1024 weeks early: say so, or what was corrected.
void tellWeekRollover(RunContext &context, const client::ReadoutFiles &files, const ExportChoices &choices,
                      const client::ConversionOutcome &outcome, int64_t today)
{
    if (choices.weekRollover) {
        if (outcome.correctedRecords > 0)
            context.note("The dates of " + std::to_string(outcome.correctedRecords) +
                         " records were moved on by 1024 weeks (GPS week rollover) in the NMEA, mark, KML, PLT and "
                         "GPX files; " +
                         fs::path(files.trackText).filename().string() + " keeps them as the logger gave them.");
        return;
    }
    if (!client::datesLookRolledOver(outcome.newestDay, today)) return;
    std::fprintf(stderr,
                 "The newest record is dated %s, more than 1024 weeks (19.6 years) before today: the dates are "
                 "probably 1024 weeks early (GPS week rollover of the logger's receiver). To correct them: trk7700 "
                 "convert %s DIR --week-rollover (add the formats you want).\n",
                 isoDate(outcome.newestDay).c_str(), files.trackText.c_str());
}

void showFile(const std::string &path)
{
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::printf("  %-28s %s\n", fs::path(path).filename().string().c_str(),
                ec ? "(missing)" : humanSizeOf(size).c_str());
}

// The map page beside the files; false after telling why it could not be made.
bool writeMap(RunContext &context, const client::ReadoutFiles &files, const ExportChoices &choices)
{
    std::string error;
    const std::string page = client::mapPagePath(files);
    if (!client::writeMapPage(files.trackText, choices.splitting(), client::leafletFolder(), page, error)) {
        context.fail("cannot make the map page " + page + ": " + error + ". An earlier page of that name is kept.");
        return false;
    }
    showFile(page);
    return true;
}

}  // namespace

void showStatistics(RunContext &context, const std::string &trackText, const client::TrackSplitting &splitting)
{
    client::TrackStatistics statistics;
    std::string error;
    if (!client::readoutStatistics(trackText, splitting, statistics, error)) {
        context.note("the figures of the track cannot be made: " + error);
        return;
    }
    std::printf("%s", client::statisticsTable(statistics).c_str());
}

client::TrackSplitting ExportChoices::splitting() const
{
    return {trips.empty() ? 0 : client::parseDuration(trips), days};
}

void addExportOptions(CLI::App &command, ExportChoices &choices)
{
    command.add_flag("--date", choices.dateInName, "put the date and time of the readout into every file name");
    command.add_flag("--per-mark", choices.perMark, "also write each run of marked records to wayfolk(TAG<mark>).nmea");
    command.add_flag("--kml", choices.kml, "make Wayfolk.kml (Google Earth), the marks as waypoints");
    command.add_flag("--plt", choices.plt, "make Wayfolk.plt (Ozi Explorer)");
    command.add_flag("--gpx", choices.gpx, "make Wayfolk.gpx, the marks as waypoints");
    command.add_flag("--map", choices.map,
                     "make Wayfolk.html, a map page of the track (one line per trip, the marks, the figures) to open "
                     "in a browser");
    addSplittingOptions(command, choices);
    command.add_flag("--week-rollover", choices.weekRollover,
                     "move dates that lie 1024 weeks or more before today on by 1024 weeks (GPS week rollover of old "
                     "receivers) in the NMEA, mark, KML, PLT and GPX files; the track text keeps them as given");
}

void addSplittingOptions(CLI::App &command, ExportChoices &choices)
{
    command
        .add_option("--trips", choices.trips,
                    "in KML and GPX, start a new track after a gap longer than GAP: 90s, 30m, 2h, 1d (a bare "
                    "number counts as minutes; a PLT file holds one track)")
        ->type_name("GAP")
        ->check(CLI::Validator(
            [](std::string &value) {
                return client::parseDuration(value) > 0
                           ? std::string()
                           : "'" + value + "' is no duration: give a positive number with s, m, h or d, like 30m";
            },
            ""));
    command.add_flag("--days", choices.days, "in KML and GPX, start a new track at each local midnight");
    CLI::Option *days = command.get_option("--days");
    command.add_option("--tz", choices.timeZone, "the time zone of --days, like Europe/Berlin (default: the system's)")
        ->type_name("ZONE")
        ->needs(days)
        ->check(CLI::Validator([](std::string &value) { return timeZoneProblem(value); }, ""));
}

std::string humanSize(uintmax_t bytes) { return humanSizeOf(bytes); }

ExportResult exportReadout(RunContext &context, const client::ReadoutFiles &files, const ExportChoices &choices,
                           const std::string &afterwards, const std::string &whatIsKept)
{
    ExportResult result;
    // Trips, figures and the map page split days in the same zone as GPSBabel.
    if (choices.days && !choices.timeZone.empty()) setTimeZoneOfStartedPrograms(choices.timeZone);
    client::ConversionOutcome outcome;
    const int64_t today = client::utcDay(std::time(nullptr));
    context.runWork(
        [&] {
            outcome = client::convertTrackText(files, {choices.perMark, choices.weekRollover ? today : -1});
        },
        [] {}, afterwards);
    if (!outcome.ok()) {
        using Failure = client::ConversionOutcome::Failure;
        result.exitCode =
            outcome.failure == Failure::trackTextMissing
                ? context.fail("the track text " + outcome.failedPath + " is missing, so nothing could be converted." +
                               whatIsKept)
                : context.fail(std::string(outcome.failure == Failure::markFileNotWritable
                                               ? "cannot write the mark file "
                                               : "cannot write the NMEA file ") +
                               outcome.failedPath + ": check the folder's permissions and free space." + whatIsKept);
        return result;
    }
    result.converted = true;
    result.records = outcome.sentenceLines / 2;
    std::vector<std::string> made;
    bool allMade = true;
    const bool exportsWanted = choices.kml || choices.plt || choices.gpx;
    tellWeekRollover(context, files, choices, outcome, today);
    if (result.records > 0 && exportsWanted) allMade = runGpsBabel(context, files, choices, made);
    std::remove(waypointsFile(files).c_str());
    std::printf("%s %zu records (%zu with a mark) into %s\n", choices.verb, result.records, outcome.markedLines / 2,
                files.folder.c_str());
    showFile(files.trackText);
    showFile(files.nmea);
    if (!outcome.markFiles.empty()) {
        const std::set<std::string> distinct(outcome.markFiles.begin(), outcome.markFiles.end());
        uintmax_t total = 0;
        for (const auto &m : distinct) {
            std::error_code ec;
            total += fs::file_size(m, ec);
        }
        std::printf("  %-28s %zu files, %s together\n", "wayfolk(TAG<mark>).nmea", distinct.size(),
                    humanSizeOf(total).c_str());
    }
    for (const auto &path : made) showFile(path);
    // An empty log draws nothing: an earlier page stays.
    if (choices.map && result.records > 0 && !writeMap(context, files, choices)) allMade = false;
    if (result.records == 0 && exportsWanted)
        std::printf("The log holds no records: no KML, PLT or GPX file was made.\n");
    if (result.records == 0 && choices.map) std::printf("The log holds no records: no map page was made.\n");
    if (result.records > 0) showStatistics(context, files.trackText, choices.splitting());
    result.exitCode = allMade ? kExitOk : kExitFailed;
    return result;
}

}  // namespace trk7700::cli
