#pragma once
// The commands of trk7700, one file each. Each adds its subcommand with its
// options to the application; when the command line chooses it, its runner
// is stored in chosen and run once every option value has been checked.
#include "run_context.h"

#include <CLI/CLI.hpp>
#include <functional>

namespace trk7700::cli {

using CommandRunner = std::function<int()>;

void addDownloadCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addEraseCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addSettingsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addInfoCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addFirmwareCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addPortsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addConvertCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addHistoryCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);
void addStatsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen);

// What convert and stats take: a track text, a raw log that a failed readout
// left ("DB.sr"), or an entry of the readout history, as a track text at
// target. False, with the reason in error, when it cannot be made.
bool trackTextFromSource(const std::string &input, const std::string &target, std::string &error);

// A text as a JSON string, quotes included.
std::string jsonString(const std::string &text);

}  // namespace trk7700::cli
