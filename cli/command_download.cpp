// trk7700 download: the whole log into a folder, converted, kept in the
// history, and on request erased afterwards. The conversion step is shared
// with trk7700 convert (readout_export.h).
#include "advice.h"
#include "binding/shipped_files.h"
#include "commands.h"
#include "conversion/broken_readout.h"
#include "conversion/file_ops.h"
#include "conversion/readout_history.h"
#include "conversion/readout_progress.h"
#include "conversion/readout_staging.h"
#include "conversion/track_conversion.h"
#include "interrupt.h"
#include "options.h"
#include "platform.h"
#include "readout_export.h"

#include <algorithm>
#include <ctime>
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

// A copy of the track text in the logger's history: the entry's name, or
// empty after telling why.
std::string keepInHistory(RunContext &context, Connection &connection, const std::string &trackText,
                          const std::string &afterwards)
{
    int32_t serial = 0;
    client::TextBuffer firmware(8);
    const auto call = context.runOnWorker(
        [&] { return context.library.readDeviceInformation(connection.comPort(), serial, firmware); }, [] {},
        afterwards);
    // Without a serial number the readout is still kept, under 0.
    if (!call.made() || call.result != return_read_device_information_successful) {
        serial = 0;
        context.note("The logger's serial number could not be read; the readout is kept under 0.");
    }
    std::string error, entry;
    // Compressing a full log takes seconds: on a worker, so that Ctrl-C ends it at once.
    context.runWork(
        [&] {
            entry = client::keepInHistory(trackText, static_cast<uint32_t>(serial), std::time(nullptr), error,
                                          [](const std::string &partial) { addScratchFile(partial); });
        },
        [] {}, afterwards);
    if (entry.empty()) {
        context.fail("cannot keep the readout in the history " + client::historyFolder() + ": " + error);
        return {};
    }
    context.note("Kept in the history as " + entry + " (trk7700 history; trk7700 convert " + entry + " DIR)");
    return entry;
}

// The readout's files and the history entry, and their folders, on the disk:
// a power cut after the erase must not take them with it. False after telling why.
bool syncBeforeErase(RunContext &context, const client::ReadoutFiles &files, const std::string &entry)
{
    const std::string entryPath = client::historyEntryPath(entry);
    const std::string entryFolder = fs::path(entryPath).parent_path().string();
    std::string error;
    bool synced = true;
    context.runWork(
        [&] {
            for (const std::string *path : {&files.trackText, &files.nmea, &entryPath, &entryFolder})
                if (synced && !client::syncToDisk(*path, error)) synced = false;
        },
        [] {}, "Nothing was erased.");
    if (!synced)
        context.fail("cannot put the readout on the disk (" + error +
                     "), so nothing was erased; the logger still holds its log.");
    return synced;
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
    // A Ctrl-C until the erase goes out means no erase.
    if (interruptSignal() != 0) endInterruptedRun("Nothing was erased.");
    auto progress = context.progress();
    bool notSent = false;
    const auto call = context.runOnWorker(
        [&] {
            if (interruptSignal() != 0) {
                notSent = true;
                return client::LinkCall{};
            }
            return context.library.eraseAllDb(connection.comPort());
        },
        [&] { progress->phase("Erasing (this can take a few minutes)..."); },
        "The readout is complete; the erase was broken off and the log may be "
        "partly erased.");
    progress->finish("");
    if (notSent) endInterruptedRun("Nothing was erased.");
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
    const std::string afterHistory = "The files in " + folder + " are complete." + notErased;
    const std::string entry =
        exported.records > 0 ? keepInHistory(context, connection, files.trackText, afterHistory) : std::string();
    const bool kept = exported.records == 0 || !entry.empty();

    int exitCode = exported.exitCode;
    // A readout that is not in the history is told and never ends with 0.
    if (!kept && !options.erase) return kExitFailed;
    // The track text, the NMEA file and the history hold every record now:
    // erasing loses nothing.
    if (options.erase) {
        if (!kept)
            return context.fail("the readout could not be kept in the history, so nothing was erased; the files in " +
                                folder + " are complete.");
        if (exported.records > 0 && !syncBeforeErase(context, files, entry)) return kExitFailed;
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
