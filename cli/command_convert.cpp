// trk7700 convert: the files of a readout again, without the logger, from a
// saved track text, a raw log that a failed readout left ("DB.sr"), or an
// entry of the readout history. trk7700 history lists that history.
#include "commands.h"
#include "convert_input.h"
#include "interrupt.h"
#include "conversion/file_ops.h"
#include "conversion/readout_history.h"
#include "conversion/readout_progress.h"
#include "conversion/readout_staging.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "options.h"
#include "readout_export.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

struct ConvertOptions {
    std::string input;
    std::string folder;
    ExportChoices exports;
};

// The library's own ordering and export steps read the raw log where it lies
// and write the track text to target, in a folder of this run's own.
bool rawLogToTrackText(const std::string &rawLog, const std::string &target, std::string &error)
{
    std::error_code ec;
    // A folder of this run's own, made so that nobody else can have planted it.
    const std::string scratch = client::makePrivateScratchFolder("trk7700-convert-");
    if (scratch.empty()) {
        error = "cannot make a folder for the conversion in " + fs::temp_directory_path(ec).string();
        return false;
    }
    for (const char *name : client::kLibraryWorkFiles) addScratchFile(client::inFolder(scratch, name));
    addScratchFolder(scratch);
    const fs::path before = fs::current_path(ec);
    fs::current_path(scratch, ec);
    const int sorted = log::SortLogImage(rawLog.c_str());
    const int exported = sorted == 1 ? log::exportTrackTextTo(target.c_str()) : sorted;
    fs::current_path(before, ec);
    fs::remove_all(scratch, ec);
    if (exported != 1) {
        error = "the raw log could not be turned into a track text: " + std::string(trk7700_result_name(exported));
        return false;
    }
    return true;
}

// A copy of the track text, no longer than a full log's.
bool copyTrackText(const std::string &from, const std::string &to, std::string &error)
{
    std::FILE *in = client::openRegularForReading(from);
    std::FILE *out = in != nullptr ? client::createFreshFile(to) : nullptr;
    if (in == nullptr || out == nullptr) {
        error = "cannot copy " + from + " to " + to + ": " + std::strerror(errno);
        if (in != nullptr) std::fclose(in);
        return false;
    }
    bool ok = true;
    uint64_t total = 0;
    char buffer[65536];
    for (size_t got; ok && (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        total += got;
        ok = total <= client::kMaxTrackTextBytes && std::fwrite(buffer, 1, got, out) == got;
    }
    ok = std::ferror(in) == 0 && ok;
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        error = "cannot copy " + from + " to " + to + " (is the disk full?)";
        client::removeFile(to);
    }
    return ok;
}

// The input's track text under the staged name; false (and error) when not.
bool stageTrackText(const ConvertInput &input, const std::string &given, const std::string &staged, std::string &error)
{
    switch (input.kind) {
    case ConvertInput::Kind::trackText: return copyTrackText(input.path, staged, error);
    case ConvertInput::Kind::rawLog: return rawLogToTrackText(input.path, staged, error);
    case ConvertInput::Kind::historyEntry: break;
    }
    if (!client::decompressTrackText(input.path, staged, error)) return false;
    std::string problem;
    if (isTrackText(staged, problem)) return true;
    error = given + " is compressed but holds no track text as the library writes it: " + problem;
    return false;
}

}  // namespace

bool trackTextFromSource(const std::string &input, const std::string &target, std::string &error)
{
    ConvertInput recognized;
    return recognizeConvertInput(input, recognized, error) && stageTrackText(recognized, input, target, error);
}

namespace {

int convert(RunContext &context, const ConvertOptions &options)
{
    // What the input is, is known before anything is written.
    ConvertInput input;
    std::string refusal;
    if (!recognizeConvertInput(options.input, input, refusal)) return context.fail(refusal + ". Nothing was written.");
    const std::string folder = fs::absolute(options.folder).lexically_normal().string();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder))
        return context.fail("cannot create the folder " + folder + ": " + ec.message());
    const auto files = client::readoutFiles(folder, options.exports.dateInName ? client::makeDateStampNow() : "");
    // The input is never scratch, whatever its name.
    registerScratch(files, input.path);
    const std::string staged = client::stagedTrackText(files);
    const std::string unchanged = "The files in " + folder + " were left as they were.";

    std::string error;
    bool stagedText = false;
    context.runWork([&] { stagedText = stageTrackText(input, options.input, staged, error); }, [] {}, unchanged);
    if (!stagedText) {
        client::discardStagedTrackText(files);
        return context.fail(error + ". " + unchanged);
    }

    switch (client::placeStagedTrackText(files, error)) {
    case client::StagedTextOutcome::emptyKeptEarlier:
        std::printf("%s holds no records; the files of the earlier readout in %s are kept as they were.\n",
                    options.input.c_str(), folder.c_str());
        return kExitOk;
    case client::StagedTextOutcome::cannotPlace:
        client::discardStagedTrackText(files);
        return context.fail("cannot write the track text " + error);
    case client::StagedTextOutcome::placed: break;
    }
    ExportChoices choices = options.exports;
    choices.verb = "Converted";
    return exportReadout(context, files, choices, "The track text is complete.", "").exitCode;
}

int showHistory()
{
    const auto entries = client::listHistory();
    if (entries.empty()) {
        std::printf("No readout kept yet in %s\n", client::historyFolder().c_str());
        return kExitOk;
    }
    std::printf("Readouts kept in %s (logger serial number / time of the readout, UTC):\n",
                client::historyFolder().c_str());
    for (const auto &e : entries) std::printf("  %-40s %s\n", e.name.c_str(), humanSize(e.compressedBytes).c_str());
    std::printf("Export one again with: trk7700 convert %s DIR [--gpx ...]\n", entries.back().name.c_str());
    return kExitOk;
}

}  // namespace

void addConvertCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "convert", "make the files of a readout again without the logger, exactly as a readout would: from a saved "
                   "Wayfolk.txt, a raw DB.sr that a failed readout left, or an entry of the readout history");
    auto options = std::make_shared<ConvertOptions>();
    command
        ->add_option("FILE", options->input,
                     "the track text, the raw log, or a history entry like 12345/2026-12-10T12-00-00Z")
        ->required()
        ->check(nonEmptyPath());
    command->add_option("DIR", options->folder, "the target folder, made when missing")
        ->required()
        ->check(nonEmptyPath());
    addExportOptions(*command, options->exports);
    addQuietOption(*command, context);
    command->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return convert(context, *options); }; });
}

void addHistoryCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "history", "the readouts kept: every complete readout's track text, compressed, per logger under "
                   "$XDG_DATA_HOME/trk7700/history (~/.local/share/trk7700/history)");
    addQuietOption(*command, context);
    command->callback([&chosen] { chosen = showHistory; });
}

}  // namespace trk7700::cli
