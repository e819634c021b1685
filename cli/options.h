#pragma once
// The options that several commands share and the checks of option values.
// Each option is described once: the same text drives parsing and help.
#include "run_context.h"

#include <CLI/CLI.hpp>
#include <string>

namespace trk7700::cli {

// --port N|auto and --quiet, on the main command and on each command that
// talks to the logger, so that they may stand before or after the command.
void addPortOption(CLI::App &app, RunContext &context);
void addQuietOption(CLI::App &app, RunContext &context);

// A whole number from minimum to maximum. A value outside is named for what it
// is: negative, not a number, or too small or too large (beyondMaximum, when
// given, is added to the last: what the logger would answer).
CLI::Validator wholeNumber(unsigned long minimum, unsigned long maximum, const std::string &beyondMaximum = "");

// "on" or "off".
CLI::Validator onOff();

// A folder or file argument: an empty text names nothing (a script whose
// variable was empty) and is refused as a usage error.
CLI::Validator nonEmptyPath();

// The check of a --port value: "auto" or a COM number from 1 to 255.
CLI::Validator portValue();

}  // namespace trk7700::cli
