// trk7700 download: the whole log into a folder, converted, and on request
// erased afterwards.
#include "advice.h"
#include "binding/shipped_files.h"
#include "commands.h"
#include "conversion/readout_staging.h"
#include "conversion/track_conversion.h"
#include "interrupt.h"
#include "options.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

using client::kLogImageBytes;

// The library's working files in the target folder.
constexpr const char *kScratchNames[] = {"DB.sr", "SortDB.sr", "Output_tmp.dat", "Output_new.tmp"};

struct DownloadOptions {
    std::string folder;
    client::ExportOptions exports;
    bool erase = false;
    bool yes = false;
};

std::string defaultTargetFolder()
{
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/Wayfolk";
}

std::string humanSize(uintmax_t bytes)
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

// Everything this run may leave in the folder while it works: removed again
// when a signal ends the run. Earlier readouts' files are not among them.
void registerScratch(const client::ReadoutFiles &files)
{
    for (const char *name : kScratchNames) addScratchFile(files.folder + "/" + name);
    addScratchFile(client::stagedTrackText(files));
    addScratchFile(client::partialName(files.nmea));
    for (const std::string *path : {&files.kml, &files.plt, &files.gpx})
        addScratchFile(client::gpsBabelPartialName(*path));
    addScratchPattern(files.folder, "wayfolk(TAG", ")" + files.stamp + ".nmea.partial");
}

// The GPSBabel runs go side by side; false when any did not make its file.
bool runGpsBabel(RunContext &context, const client::ReadoutFiles &files, const client::ExportOptions &exports,
                 size_t points, std::vector<std::string> &made)
{
    struct Conversion {
        client::GpsBabelRun run;
        client::GpsBabelOutcome outcome;
        pid_t pid = 0;
    };
    std::vector<Conversion> conversions;
    for (const auto &run : client::gpsBabelRuns(files, exports)) conversions.push_back({run, {}});
    if (conversions.empty()) return true;
    std::vector<std::thread> running;
    std::atomic<size_t> finished {0};
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
                             "'): install the Debian package '" + client::kGpsBabelPackage +
                             "'. No KML, PLT or GPX files were made.");
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

void showFile(const std::string &path)
{
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::printf("  %-28s %s\n", fs::path(path).filename().c_str(), ec ? "(missing)" : humanSize(size).c_str());
}

int eraseAfterReadout(RunContext &context, Connection &connection, size_t records, const std::string &folder,
                      bool yes)
{
    if (records == 0) {
        std::printf("The logger holds no records, so there was nothing to erase; it was left as it is.\n");
        return kExitOk;
    }
    if (!yes && !context.ask("All " + std::to_string(records) + " records are saved in " + folder +
                             ". Erase every track on the logger now?")) {
        std::fprintf(stderr, "Nothing erased.\n");
        return kExitFailed;
    }
    auto progress = context.progress();
    const auto call = context.runOnWorker([&] { return context.library.eraseAllDb(connection.comPort()); },
                                          [&] { progress->phase("Erasing (this can take a few minutes)..."); },
                                          "The readout is complete; the erase was broken off and the log may be "
                                          "partly erased.");
    progress->finish("");
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_erase_db_successful)
        return context.fail("the readout is complete, but the erase failed: " + explainFailure(call.result));
    std::printf("The logger's log memory is erased.\n");
    return kExitOk;
}

int download(RunContext &context, const DownloadOptions &options)
{
    const char *notErased = options.erase ? " Nothing was erased: the logger still holds its log." : "";
    if (options.erase && !options.yes && !RunContext::someoneCanAnswer())
        return context.fail("--erase needs a confirmation: add --yes when no one can answer. Nothing was read or "
                            "erased.");
    // The library makes the folder the current directory while it works, so the
    // folder must not depend on it; the whole folder is made here first.
    const std::string folder = fs::absolute(options.folder).lexically_normal().string();
    std::error_code madeError;
    fs::create_directories(folder, madeError);
    if (madeError || !fs::is_directory(folder))
        return context.fail("cannot create the folder " + folder + ": " + madeError.message() + notErased);
    const auto files = client::readoutFiles(folder, options.exports.dateInName ? client::makeDateStampNow() : "");
    registerScratch(files);

    Connection connection(context);
    if (!connection.open()) return kExitFailed;

    context.note("Reading the log into " + folder);
    auto progress = context.progress();
    const std::string rawFile = folder + "/DB.sr";
    const std::string staged = client::stagedTrackText(files);
    bool rawSeen = false;
    const auto call = context.runOnWorker(
        [&] { return context.library.dumpDb(connection.comPort(), staged); },
        [&] {
            struct stat st {};
            if (::stat(rawFile.c_str(), &st) == 0) {
                rawSeen = true;
                progress->bytes(static_cast<uint64_t>(st.st_size), kLogImageBytes);
            } else if (rawSeen) {
                progress->phase("Ordering the records and writing the track text...");
            } else {
                progress->phase("Waiting for the logger...");
            }
        },
        options.erase ? "Nothing was erased." : "");
    if (!context.callMade(call)) {
        client::discardStagedTrackText(files);
        return kExitFailed;
    }
    if (call.result != return_dump_db_successful) {
        progress->finish("");
        client::discardStagedTrackText(files);
        return context.fail("the download failed: " + explainFailure(call.result) +
                            " Files of an earlier readout in the folder were left as they were." + notErased);
    }
    progress->finish("Log read");

    std::string placeError;
    switch (client::placeStagedTrackText(files, placeError)) {
    case client::StagedTextOutcome::emptyKeptEarlier:
        std::printf("The logger holds no records; the files of the earlier readout in %s are kept as they were "
                    "and nothing was converted.\n",
                    folder.c_str());
        if (options.erase)
            std::printf("The logger holds no records, so there was nothing to erase; it was left as it is.\n");
        return kExitOk;
    case client::StagedTextOutcome::cannotPlace:
        client::discardStagedTrackText(files);
        return context.fail("cannot write the track text " + placeError + notErased);
    case client::StagedTextOutcome::placed: break;
    }

    client::ConversionOutcome outcome;
    context.runWork([&] { outcome = client::convertTrackText(files, options.exports.perMark); }, [] {},
                    "The track text of this readout is complete." + std::string(options.erase ? " Nothing was erased." : ""));
    if (!outcome.ok()) {
        using Failure = client::ConversionOutcome::Failure;
        if (outcome.failure == Failure::trackTextMissing)
            return context.fail("the track text " + outcome.failedPath + " is missing, so nothing could be converted." +
                                notErased);
        return context.fail(std::string(outcome.failure == Failure::markFileNotWritable ? "cannot write the mark file "
                                                                                          : "cannot write the NMEA file ") +
                            outcome.failedPath + ": check the folder's permissions and free space." + notErased);
    }

    const size_t records = outcome.sentenceLines / 2;
    std::vector<std::string> made;
    bool allMade = true;
    const bool exportsWanted = options.exports.kml || options.exports.plt || options.exports.gpx;
    if (records > 0) allMade = runGpsBabel(context, files, options.exports, records, made);
    std::printf("Read %zu records (%zu with a mark) into %s\n", records, outcome.markedLines / 2, folder.c_str());
    showFile(files.trackText);
    showFile(files.nmea);
    if (!outcome.markFiles.empty()) {
        std::vector<std::string> distinct;
        for (const auto &m : outcome.markFiles)
            if (std::find(distinct.begin(), distinct.end(), m) == distinct.end()) distinct.push_back(m);
        uintmax_t total = 0;
        for (const auto &m : distinct) {
            std::error_code ec;
            total += fs::file_size(m, ec);
        }
        std::printf("  %-28s %zu files, %s together\n", "wayfolk(TAG<mark>).nmea", distinct.size(),
                    humanSize(total).c_str());
    }
    for (const auto &path : made) showFile(path);
    if (records == 0 && exportsWanted) std::printf("The log holds no records: no KML, PLT or GPX file was made.\n");

    int exitCode = allMade ? kExitOk : kExitFailed;
    // The track text and the NMEA file hold every record now: erasing loses nothing.
    if (options.erase) {
        if (!allMade) context.note("The track text and the NMEA file are complete, so the erase goes ahead.");
        const int erased = eraseAfterReadout(context, connection, records, folder, options.yes);
        if (erased != kExitOk) exitCode = erased;
    }
    return exitCode;
}

}  // namespace

void addDownloadCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "download",
        "read the logger's whole log memory (about six minutes at 115200 baud) into DIR: Wayfolk.txt (the track text "
        "with marks), Wayfolk.nmea (the NMEA sentences of the whole log) and, on request, KML, PLT and GPX files made "
        "by GPSBabel. When the logger holds no records and DIR holds an earlier readout, every earlier file is kept.");
    auto options = std::make_shared<DownloadOptions>();
    options->folder = defaultTargetFolder();
    command->add_option("DIR", options->folder, "the target folder, made when missing")
        ->capture_default_str()
        ->default_str("~/Wayfolk");
    command->add_flag("--date", options->exports.dateInName, "put the date and time of the readout into every file name");
    command->add_flag("--per-mark", options->exports.perMark,
                      "also write each run of marked records to wayfolk(TAG<mark>).nmea");
    command->add_flag("--kml", options->exports.kml, "make Wayfolk.kml (Google Earth)");
    command->add_flag("--plt", options->exports.plt, "make Wayfolk.plt (Ozi Explorer)");
    command->add_flag("--gpx", options->exports.gpx, "make Wayfolk.gpx");
    CLI::Option *eraseOption = command->add_flag("--erase", options->erase,
                      "erase the logger afterwards, only when the readout is complete and its track text and NMEA "
                      "file are written (asks first)");
    command->add_flag("-y,--yes", options->yes, "with --erase: erase without asking (needed when no one can answer)")
        ->needs(eraseOption);
    addPortOption(*command, context);
    addQuietOption(*command, context);
    command->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return download(context, *options); }; });
}

}  // namespace trk7700::cli
