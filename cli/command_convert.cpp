// trk7700 convert: the files of a readout again, without the logger, from a
// saved track text, a raw log that a failed readout left ("DB.sr"), or an
// entry of the readout history. trk7700 history lists that history.
#include "commands.h"
#include "conversion/file_ops.h"
#include "conversion/readout_history.h"
#include "conversion/readout_staging.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "options.h"
#include "readout_export.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

struct ConvertOptions {
    std::string input;
    std::string folder;
    ExportChoices exports;
};

bool startsWith(const std::string &path, const std::string &text)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(text.size(), '\0');
    return in.read(head.data(), static_cast<std::streamsize>(head.size())) && head == text;
}

// The library's own ordering and export steps, on a copy of the raw log in a
// folder of their own, write the track text to target.
bool rawLogToTrackText(const std::string &rawLog, const std::string &target, std::string &error)
{
    std::error_code ec;
    // A folder of this run's own, made so that nobody else can have planted it.
    const std::string scratch = client::makePrivateScratchFolder("trk7700-convert-");
    if (scratch.empty()) {
        error = "cannot make a folder for the conversion in " + fs::temp_directory_path(ec).string();
        return false;
    }
    const fs::path work = scratch;
    if (!fs::copy_file(rawLog, work / log::kRawLogFile, ec)) {
        error = "cannot copy " + rawLog + " to " + work.string() + ": " + ec.message();
        fs::remove_all(work, ec);
        return false;
    }
    const fs::path before = fs::current_path(ec);
    fs::current_path(work, ec);
    const int sorted = log::SortLogImage();
    const int exported = sorted == 1 ? log::exportTrackTextTo(target.c_str()) : sorted;
    fs::current_path(before, ec);
    fs::remove_all(work, ec);
    if (exported != 1) {
        error = "the raw log could not be turned into a track text: " + std::string(trk7700_result_name(exported));
        return false;
    }
    return true;
}

}  // namespace

bool trackTextFromSource(const std::string &input, const std::string &target, std::string &error)
{
    std::error_code ec;
    const bool isFile = fs::is_regular_file(input, ec);
    const std::string source = isFile ? fs::absolute(input).lexically_normal().string() : input;
    if (!isFile) {
        if (client::historyEntryPath(input).empty()) {
            error = input + " is neither a file nor an entry of the readout history (see trk7700 history).";
            return false;
        }
        return client::restoreFromHistory(input, target, error);
    }
    if (startsWith(source, log::kGgaHeaderLine)) {
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
        if (ec) error = "cannot copy " + source + " to " + target + ": " + ec.message();
        return !ec;
    }
    return rawLogToTrackText(source, target, error);
}

namespace {

int convert(RunContext &context, const ConvertOptions &options)
{
    const std::string folder = fs::absolute(options.folder).lexically_normal().string();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder))
        return context.fail("cannot create the folder " + folder + ": " + ec.message());
    const auto files = client::readoutFiles(folder, options.exports.dateInName ? client::makeDateStampNow() : "");
    registerScratch(files);
    const std::string staged = client::stagedTrackText(files);

    std::string error;
    if (!trackTextFromSource(options.input, staged, error)) {
        client::discardStagedTrackText(files);
        return context.fail(error);
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
