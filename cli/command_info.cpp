// trk7700 info: serial number, firmware version, GPS UTC time, library version.
#include "advice.h"
#include "commands.h"
#include "options.h"

#include <cstdio>
#include <optional>

namespace trk7700::cli {

std::string jsonString(const std::string &text)
{
    std::string json = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            json += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else
            json += static_cast<char>(c);
    }
    return json + "\"";
}

namespace {

struct InfoOptions {
    bool json = false;
};

int info(RunContext &context, const InfoOptions &options)
{
    int exitCode = kExitOk;
    client::TextBuffer dllVersion(5);
    auto call = context.library.readDllVersion(dllVersion);
    if (!context.callMade(call)) return kExitFailed;
    Connection connection(context);
    if (!connection.open()) return kExitFailed;

    std::optional<uint32_t> serial;
    std::string firmwareVersion;
    int32_t serialNumber = 0;
    client::TextBuffer firmware(8);
    call = context.library.readDeviceInformation(connection.comPort(), serialNumber, firmware);
    if (call.made() && call.result == return_read_device_information_successful) {
        serial = static_cast<uint32_t>(serialNumber);
        firmwareVersion = firmware.text();
    } else {
        exitCode = call.made() ? context.fail("cannot read the device information: " + explainFailure(call.result))
                               : kExitFailed;
    }
    uint8_t h = 0, m = 0, s = 0, y = 0, mo = 0, d = 0;
    call = context.library.readGpsUtcTimeDate(h, m, s, y, mo, d);
    const bool timeRead = call.made() && call.result == return_read_gps_utc_time_successful;
    if (!timeRead)
        exitCode = call.made() ? context.fail("cannot read the GPS time: " + explainFailure(call.result)) : kExitFailed;

    if (options.json) {
        char time[32] = "null";
        if (timeRead) std::snprintf(time, sizeof time, "\"20%02u-%02u-%02uT%02u:%02u:%02uZ\"", y, mo, d, h, m, s);
        std::printf("{\"port\": %d, \"serial_number\": %s, \"firmware_version\": %s, \"gps_utc_time\": %s, "
                    "\"library_version\": %s}\n",
                    connection.comPort(), serial ? std::to_string(*serial).c_str() : "null",
                    serial ? jsonString(firmwareVersion).c_str() : "null", time, jsonString(dllVersion.text()).c_str());
        return exitCode;
    }
    if (serial) {
        std::printf("Serial number:    %u\n", *serial);
        std::printf("Firmware version: %s\n", firmwareVersion.c_str());
    }
    if (timeRead) std::printf("GPS UTC time:     %02u:%02u:%02u, day %u, month %u, year %02u\n", h, m, s, d, mo, y);
    std::printf("Library version:  %s\n", dllVersion.text().c_str());
    return exitCode;
}

}  // namespace

void addInfoCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "info", "the logger's serial number and firmware version, the UTC time of its GPS receiver and the version "
                "of the link library");
    auto options = std::make_shared<InfoOptions>();
    command->add_flag("--json", options->json,
                      "one JSON object for scripts: port, serial_number, firmware_version, gps_utc_time "
                      "(ISO 8601, or null while the receiver has no time), library_version");
    addPortOption(*command, context);
    addQuietOption(*command, context);
    command->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return info(context, *options); }; });
}

}  // namespace trk7700::cli
