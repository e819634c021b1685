// trk7700 stats: the figures of a track without the logger, per trip and in
// total: as a table, or with --json as one object for scripts.
#include "commands.h"
#include "conversion/file_ops.h"
#include "options.h"
#include "platform.h"
#include "readout_export.h"
#include "stats/geodesic.h"
#include "stats/track_statistics.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

struct StatsOptions {
    std::string input;
    ExportChoices splitting;  // --trips, --days, --tz
    bool json = false;
};

int stats(RunContext &context, const StatsOptions &options)
{
    if (options.splitting.days && !options.splitting.timeZone.empty())
        setTimeZoneOfStartedPrograms(options.splitting.timeZone);
    // The source as a track text in a folder of this run's own, removed afterwards.
    const std::string scratch = client::makePrivateScratchFolder("trk7700-stats-");
    if (scratch.empty()) return context.fail("cannot make a scratch folder in the system's temporary folder");
    std::string error;
    client::TrackRecords read;
    const std::string text = client::inFolder(scratch, "Wayfolk.txt");
    if (trackTextFromSource(options.input, text, error)) read = client::readTrackRecords(text, error);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    if (!error.empty()) return context.fail(error);

    const auto statistics = client::trackStatistics(read.records, options.splitting.splitting());
    if (read.unreadableLines > 0)
        context.note(std::to_string(read.unreadableLines) + " lines of " + options.input +
                     " are no record (cut or garbled) and are left out.");
    if (options.json) {
        std::printf("%s\n", client::statisticsJson(statistics).c_str());
        return kExitOk;
    }
    if (statistics.trips.empty()) {
        std::printf("%s holds no records.\n", options.input.c_str());
        return kExitOk;
    }
    std::printf("%zu records in %zu %s (distances on %s):\n", statistics.total.points, statistics.trips.size(),
                statistics.trips.size() == 1 ? "trip" : "trips", client::distanceMethod());
    std::printf("%s", client::statisticsTable(statistics).c_str());
    return kExitOk;
}

}  // namespace

void addStatsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "stats", "the figures of a track per trip and in total: start and end, points, distance, duration, moving "
                 "time, top speed and runs of marks; from a saved Wayfolk.txt, a raw DB.sr or an entry of the "
                 "readout history");
    auto options = std::make_shared<StatsOptions>();
    command
        ->add_option("SOURCE", options->input,
                     "the track text, the raw log, or a history entry like 12345/2026-12-10T12-00-00Z")
        ->required()
        ->check(nonEmptyPath());
    addSplittingOptions(*command, options->splitting);
    command->add_flag("--json", options->json,
                      "one JSON object: {\"trips\": [{\"start\", \"end\", \"points\", \"distance_m\", \"duration_s\", "
                      "\"moving_s\", \"max_speed_kmh\", \"marks\"}, ...], \"total\": {...}}, times in UTC");
    addQuietOption(*command, context);
    command->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return stats(context, *options); }; });
}

}  // namespace trk7700::cli
