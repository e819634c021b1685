// trk7700 download: the whole log into a folder, converted, kept in the
// history, and on request erased afterwards. The conversion step is shared
// with trk7700 convert (readout_export.h).
#include "advice.h"
#include "binding/shipped_files.h"
#include "commands.h"
#include "conversion/broken_readout.h"
#include "conversion/readout_history.h"
#include "conversion/readout_progress.h"
#include "conversion/readout_staging.h"
#include "conversion/track_conversion.h"
#include "interrupt.h"
#include "options.h"
#include "platform.h"
#include "readout_export.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

struct DownloadOptions {
    std::string folder;
    ExportChoices exports;
    bool erase = false;
    bool yes = false;
};

void showDownload(ProgressReport &progress, const client::DownloadProgress &seen)
{
    using client::DownloadPhase;
    switch (seen.phase) {
    case DownloadPhase::waitingForLogger: progress.phase("Waiting for the logger..."); break;
    // The bar stays full while the library orders the records.
    case DownloadPhase::receiving:
    case DownloadPhase::ordering: progress.bytes(seen); break;
    case DownloadPhase::writingText: progress.phase("Ordering the records and writing the track text..."); break;
    }
}

// A copy of the track text in the logger's history; false after telling why.
bool keepInHistory(RunContext &context, Connection &connection, const std::string &trackText, size_t records)
{
    if (records == 0) return true;
    int32_t serial = 0;
    client::TextBuffer firmware(8);
    const auto call = context.library.readDeviceInformation(connection.comPort(), serial, firmware);
    // Without a serial number the readout is still kept, under 0.
    if (!call.made() || call.result != return_read_device_information_successful) serial = 0;
    std::string error;
    const std::string entry =
        client::keepInHistory(trackText, static_cast<uint32_t>(serial), std::time(nullptr), error);
    if (entry.empty()) {
        context.fail("cannot keep the readout in the history " + client::historyFolder() + ": " + error);
        return false;
    }
    context.note("Kept in the history as " + entry + " (trk7700 history; trk7700 convert " + entry + " DIR)");
    return true;
}

// What arrived before the readout broke off holds the newest records: where
// it is kept and how to make files from it.
void tellBrokenOffPart(RunContext &context, const client::KeptPart &part)
{
    if (part.records == 0) return;
    if (part.path.empty()) {
        context.fail("the " + std::to_string(part.records) + " records that arrived could not be kept under a name " +
                     "of their own: " + part.error);
        return;
    }
    std::fprintf(stderr,
                 "The %zu records that arrived before the readout broke off (%s of the log memory) are kept in %s. "
                 "Make files from them with: trk7700 convert %s DIR [--gpx ...]\n",
                 part.records, humanSize(part.bytes).c_str(), part.path.c_str(), part.path.c_str());
}

int eraseAfterReadout(RunContext &context, Connection &connection, size_t records, const std::string &folder, bool yes)
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
    client::DownloadWatcher watcher(files);
    const std::time_t readoutStart = std::time(nullptr);
    const std::string staged = client::stagedTrackText(files);
    const auto call = context.runOnWorker([&] { return context.library.dumpDb(connection.comPort(), staged); },
                                          [&] { showDownload(*progress, watcher.look(progress->elapsedSeconds())); },
                                          options.erase ? "Nothing was erased." : "");
    if (!context.callMade(call)) {
        client::discardStagedTrackText(files);
        return kExitFailed;
    }
    if (call.result != return_dump_db_successful) {
        progress->finish("");
        client::discardStagedTrackText(files);
        const int failed =
            context.fail("the download failed: " + explainFailure(call.result) +
                         " Files of an earlier readout in the folder were left as they were." + notErased);
        tellBrokenOffPart(context, client::keepBrokenOffPart(folder, readoutStart));
        return failed;
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

    const ExportResult exported = exportReadout(context, files, options.exports,
                                                "The track text of this readout is complete." +
                                                    std::string(options.erase ? " Nothing was erased." : ""),
                                                notErased);
    if (!exported.converted) return exported.exitCode;

    // Every complete readout is kept in the history, before any erase.
    const bool kept = keepInHistory(context, connection, files.trackText, exported.records);

    int exitCode = exported.exitCode;
    // The track text, the NMEA file and the history hold every record now:
    // erasing loses nothing.
    if (options.erase) {
        if (!kept && exported.records > 0)
            return context.fail("the readout could not be kept in the history, so nothing was erased; the files in " +
                                folder + " are complete.");
        if (exitCode != kExitOk)
            context.note("The track text and the NMEA file are complete, so the erase goes ahead.");
        const int erased = eraseAfterReadout(context, connection, exported.records, folder, options.yes);
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
        ->default_str(defaultTargetFolderHelp())
        ->check(nonEmptyPath());
    addExportOptions(*command, options->exports);
    CLI::Option *eraseOption =
        command->add_flag("--erase", options->erase,
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
