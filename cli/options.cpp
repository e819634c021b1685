#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace trk7700::cli {
namespace {

constexpr unsigned long kMostComNumber = 255;

bool allDigits(const std::string &text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

CLI::Validator wholeNumber(unsigned long minimum, unsigned long maximum, const std::string &beyondMaximum)
{
    const std::string range = "a whole number from " + std::to_string(minimum) + " to " + std::to_string(maximum);
    return CLI::Validator(
        [=](std::string &text) -> std::string {
            if (text.size() > 1 && text[0] == '-' && allDigits(text.substr(1)))
                return "'" + text + "' is negative; give " + range + ".";
            if (!allDigits(text)) return "'" + text + "' is not a number; give " + range + ".";
            errno = 0;
            const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
            if (errno == ERANGE || value > maximum)
                return "'" + text + "' is more than " + std::to_string(maximum) + "; give " + range +
                       (beyondMaximum.empty() ? "" : " (" + beyondMaximum + ")") + ".";
            if (value < minimum)
                return "'" + text + "' is less than " + std::to_string(minimum) + "; give " + range + ".";
            return {};
        },
        "", "whole number");
}

CLI::Validator onOff()
{
    return CLI::Validator(
        [](std::string &text) -> std::string {
            if (text == "on" || text == "off") return {};
            return "takes 'on' or 'off', not '" + text + "'.";
        },
        "", "on or off");
}

CLI::Validator nonEmptyPath()
{
    return CLI::Validator(
        [](std::string &value) {
            return value.empty() ? std::string("an empty path names no file or folder") : std::string();
        },
        "");
}

CLI::Validator portValue()
{
    return CLI::Validator(
        [](std::string &text) -> std::string {
            if (text == "auto") return {};
            std::string number = text;
            if (number.size() > 3 && (number.compare(0, 3, "COM") == 0 || number.compare(0, 3, "com") == 0))
                number = number.substr(3);
            const std::string error = wholeNumber(1, kMostComNumber)(number);
            if (!error.empty()) return "takes a COM number or 'auto': " + error;
            text = std::to_string(std::strtoul(number.c_str(), nullptr, 10));  // "003" and "COM3" become "3"
            return {};
        },
        "", "port");
}

void addPortOption(CLI::App &app, RunContext &context)
{
    app.add_option("--port", context.port,
                   "the logger's COM number (1 to " + std::to_string(kMostComNumber) +
                       "; see 'trk7700 ports'), or 'auto' to search every port (the default)")
        ->type_name("N|auto")
        ->transform(portValue());
}

void addQuietOption(CLI::App &app, RunContext &context)
{
    app.add_flag("-q,--quiet", context.quiet, "no progress and no notes on standard error; failures are still told");
}

}  // namespace trk7700::cli
