// trk7700 settings: shows the recording settings, or changes them.
#include "advice.h"
#include "binding/result_text.h"
#include "binding/shipped_files.h"
#include "commands.h"
#include "conversion/settings_fields.h"
#include "options.h"

#include <cstdio>

namespace trk7700::cli {
namespace {

std::string rangeText(const client::FieldRange &range)
{
    return std::to_string(range.fewest) + " to " + std::to_string(range.most);
}

// The option's check: the range the logger takes, and what it would answer beyond.
CLI::Validator inRange(const client::FieldRange &range, int32_t refusal)
{
    return wholeNumber(range.fewest, range.most, "the logger would refuse it with " + client::resultText(refusal));
}

struct SettingsOptions {
    unsigned long time = 0, distance = 0, minSpeedKmh = 0;
    std::string tag, vibration;
    CLI::Option *timeOption = nullptr, *distanceOption = nullptr, *minSpeedOption = nullptr;
    bool json = false;
    bool changes() const
    {
        return timeOption->count() + distanceOption->count() + minSpeedOption->count() > 0 || !tag.empty() ||
               !vibration.empty();
    }
};

void printSettings(const client::SettingsRead &s, bool json)
{
    const long kmh = client::shownMinSpeedKmh(s.minSpeedKnots);
    const bool byTime = client::logsByTime(s);
    const char *tag = client::tagOn(s) ? "on" : "off";
    const char *vibration = client::vibrationOn(s) ? "on" : "off";
    if (json) {
        std::printf("{\"time_interval_s\": %s, \"distance_interval_m\": %s, \"min_speed_kmh\": %ld, "
                    "\"min_speed_knots\": %u, \"mark_button\": %s, \"vibration\": %s}\n",
                    byTime ? std::to_string(s.timeInterval).c_str() : "null",
                    !byTime ? std::to_string(s.distanceInterval).c_str() : "null", kmh, s.minSpeedKnots,
                    client::tagOn(s) ? "true" : "false", client::vibrationOn(s) ? "true" : "false");
        return;
    }
    if (byTime)
        std::printf("Logging:        every %d s\n", s.timeInterval);
    else
        std::printf("Logging:        every %d m\n", s.distanceInterval);
    if (s.minSpeedKnots == 0)
        std::printf("Minimum speed:  none (logs at any speed)\n");
    else
        std::printf("Minimum speed:  %ld km/h (%u knots)\n", kmh, s.minSpeedKnots);
    std::printf("Mark button:    %s\n", tag);
    std::printf("Vibration:      %s\n", vibration);
}

// What the options ask to change; what they do not name stays as it is.
client::SettingsChange changeAsked(const SettingsOptions &options)
{
    client::SettingsChange change;
    if (options.timeOption->count() > 0) change.timeSeconds = static_cast<uint32_t>(options.time);
    if (options.distanceOption->count() > 0) change.distanceMetres = static_cast<uint32_t>(options.distance);
    if (options.minSpeedOption->count() > 0) change.minSpeedKmh = options.minSpeedKmh;
    if (!options.tag.empty()) change.tag = options.tag == "on";
    if (!options.vibration.empty()) change.vibration = options.vibration == "on";
    return change;
}

bool readSettings(RunContext &context, Connection &connection, client::SettingsRead &read, client::LinkCall &call)
{
    call = context.library.readSettingValue(connection.comPort(), read.timeInterval, read.distanceInterval,
                                            read.vibration, read.tag, read.minSpeedKnots);
    return call.made() && call.result == return_read_setting_value_successful;
}

int settings(RunContext &context, const SettingsOptions &options)
{
    Connection connection(context);
    if (!connection.open()) return kExitFailed;

    client::SettingsRead current;
    client::LinkCall call;
    if (!readSettings(context, connection, current, call)) {
        if (!context.callMade(call)) return kExitFailed;
        return context.fail("cannot read the settings: " + explainFailure(call.result));
    }
    if (!options.changes()) {
        printSettings(current, options.json);
        return kExitOk;
    }

    const client::SettingsToStore store = client::changedSettings(current, changeAsked(options));
    const std::string waveFolder = client::voicePromptFolder(TRK7700_DATA_DIR);
    auto progress = context.progress();
    call = context.runOnWorker(
        [&] {
            return context.library.settingDevice(connection.comPort(), store.timeInterval, store.distanceInterval,
                                                 store.vibration, store.tag, waveFolder, store.minSpeedKnots);
        },
        [&] { progress->phase("Storing the settings and the voice prompts..."); },
        "The settings may not have been stored.");
    progress->finish("");
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_setting_device_successful)
        return context.fail("the settings were not stored: " + explainFailure(call.result));
    context.note("Settings stored.");
    client::SettingsRead stored;
    if (!readSettings(context, connection, stored, call))
        return context.fail("the settings were stored but cannot be read back: " +
                            (call.made() ? explainFailure(call.result) : call.failure));
    printSettings(stored, options.json);
    return kExitOk;
}

}  // namespace

void addSettingsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "settings", "show the recording settings, or change them: what is not named stays as it is, and every "
                    "change also sends the voice prompts");
    auto options = std::make_shared<SettingsOptions>();
    options->timeOption =
        command
            ->add_option("--time", options->time,
                         "log a fix every SECONDS seconds (" + rangeText(client::kTimeIntervalSeconds) + ")")
            ->type_name("SECONDS")
            ->check(inRange(client::kTimeIntervalSeconds, return_timeInterval_over_3600second_error));
    options->distanceOption =
        command
            ->add_option("--distance", options->distance,
                         "log a fix every METRES metres (" + rangeText(client::kDistanceIntervalMetres) + ")")
            ->type_name("METRES")
            ->check(inRange(client::kDistanceIntervalMetres, return_displacementinterval_over_3000meter_error))
            ->excludes(options->timeOption);
    options->minSpeedOption =
        command
            ->add_option("--min-speed", options->minSpeedKmh,
                         "log only above this speed in km/h (" + rangeText(client::kMinSpeedKmh) + "; 0: any speed)")
            ->type_name("KMH")
            ->check(inRange(client::kMinSpeedKmh, return_log_min_speed_over_20_knot_error));
    command->add_option("--tag", options->tag, "the mark button")->type_name("on|off")->check(onOff());
    command->add_option("--vibration", options->vibration, "the vibration sensor")->type_name("on|off")->check(onOff());
    command->add_flag("--json", options->json,
                      "the settings as one JSON object for scripts: time_interval_s, distance_interval_m (one of "
                      "them null), min_speed_kmh, min_speed_knots, mark_button, vibration");
    addPortOption(*command, context);
    addQuietOption(*command, context);
    command->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return settings(context, *options); }; });
}

}  // namespace trk7700::cli
