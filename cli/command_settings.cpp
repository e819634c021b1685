// trk7700 settings: shows the recording settings, or changes them.
#include "advice.h"
#include "binding/result_text.h"
#include "binding/shipped_files.h"
#include "commands.h"
#include "conversion/speed_units.h"
#include "options.h"

#include <cstdio>

namespace trk7700::cli {
namespace {

constexpr unsigned long kMostSeconds = 3600;
constexpr unsigned long kMostMetres = 3000;
constexpr unsigned long kMostKmh = 36;  // 20 knots, the logger's highest minimum speed

std::string rangeText(unsigned long minimum, unsigned long maximum)
{
    return std::to_string(minimum) + " to " + std::to_string(maximum);
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

struct DeviceSettingsView {
    int32_t time = -1, distance = -1;
    uint8_t vibration = 0, tag = 0, minSpeed = 0;
};

void printSettings(const DeviceSettingsView &s, bool json)
{
    const long kmh = s.minSpeed == 0 ? 0 : client::knotsToShownKmh(s.minSpeed);
    if (json) {
        std::printf("{\"time_interval_s\": %s, \"distance_interval_m\": %s, \"min_speed_kmh\": %ld, "
                    "\"min_speed_knots\": %u, \"mark_button\": %s, \"vibration\": %s}\n",
                    s.time != -1 ? std::to_string(s.time).c_str() : "null",
                    s.time == -1 ? std::to_string(s.distance).c_str() : "null", kmh, s.minSpeed,
                    s.tag == 1 ? "true" : "false", s.vibration != 0 ? "true" : "false");
        return;
    }
    if (s.time != -1) std::printf("Logging:        every %d s\n", s.time);
    else std::printf("Logging:        every %d m\n", s.distance);
    if (s.minSpeed == 0) std::printf("Minimum speed:  none (logs at any speed)\n");
    else std::printf("Minimum speed:  %ld km/h (%u knots)\n", kmh, s.minSpeed);
    std::printf("Mark button:    %s\n", s.tag == 1 ? "on" : "off");
    std::printf("Vibration:      %s\n", s.vibration != 0 ? "on" : "off");
}

int settings(RunContext &context, const SettingsOptions &options)
{
    Connection connection(context);
    if (!connection.open()) return kExitFailed;

    DeviceSettingsView current;
    auto call = context.library.readSettingValue(connection.comPort(), current.time, current.distance,
                                                 current.vibration, current.tag, current.minSpeed);
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_read_setting_value_successful)
        return context.fail("cannot read the settings: " + explainFailure(call.result));
    if (!options.changes()) {
        printSettings(current, options.json);
        return kExitOk;
    }

    // What is not named stays as it is; the knots read back go back unchanged
    // unless a new speed is given, so that the round trip through km/h cannot drift.
    uint32_t time = current.time != -1 ? static_cast<uint32_t>(current.time) : 0;
    uint32_t distance = current.time == -1 ? static_cast<uint32_t>(current.distance) : 0;
    if (options.timeOption->count() > 0) {
        time = static_cast<uint32_t>(options.time);
        distance = 0;
    } else if (options.distanceOption->count() > 0) {
        time = 0;
        distance = static_cast<uint32_t>(options.distance);
    }
    uint8_t minSpeed = current.minSpeed;
    if (options.minSpeedOption->count() > 0)
        minSpeed = options.minSpeedKmh == 0
                       ? 0
                       : static_cast<uint8_t>(client::kmhToSentKnots(static_cast<double>(options.minSpeedKmh)));
    const uint8_t tag = !options.tag.empty() ? (options.tag == "on" ? 1 : 0) : (current.tag == 1 ? 1 : 0);
    const uint8_t vibration =
        !options.vibration.empty() ? (options.vibration == "on" ? 2 : 0) : (current.vibration != 0 ? 2 : 0);

    const std::string waveFolder = client::voicePromptFolder(TRK7700_DATA_DIR);
    auto progress = context.progress();
    call = context.runOnWorker(
        [&] {
            return context.library.settingDevice(connection.comPort(), time, distance, vibration, tag, waveFolder,
                                                 minSpeed);
        },
        [&] { progress->phase("Storing the settings and the voice prompts..."); },
        "The settings may not have been stored.");
    progress->finish("");
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_setting_device_successful)
        return context.fail("the settings were not stored: " + explainFailure(call.result));
    context.note("Settings stored.");
    DeviceSettingsView stored;
    call = context.library.readSettingValue(connection.comPort(), stored.time, stored.distance, stored.vibration,
                                            stored.tag, stored.minSpeed);
    if (!call.made() || call.result != return_read_setting_value_successful)
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
        command->add_option("--time", options->time, "log a fix every SECONDS seconds (" + rangeText(1, kMostSeconds) + ")")
            ->type_name("SECONDS")
            ->check(wholeNumber(1, kMostSeconds,
                                "the logger would refuse it with " +
                                    client::resultText(return_timeInterval_over_3600second_error)));
    options->distanceOption =
        command->add_option("--distance", options->distance, "log a fix every METRES metres (" + rangeText(1, kMostMetres) + ")")
            ->type_name("METRES")
            ->check(wholeNumber(1, kMostMetres,
                                "the logger would refuse it with " +
                                    client::resultText(return_displacementinterval_over_3000meter_error)))
            ->excludes(options->timeOption);
    options->minSpeedOption =
        command->add_option("--min-speed", options->minSpeedKmh, "log only above this speed in km/h (" + rangeText(0, kMostKmh) + "; 0: any speed)")
            ->type_name("KMH")
            ->check(wholeNumber(0, kMostKmh,
                                "the logger would refuse it with " +
                                    client::resultText(return_log_min_speed_over_20_knot_error)));
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
