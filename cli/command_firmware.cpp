// trk7700 firmware version DIR / firmware upgrade DIR.
#include "advice.h"
#include "commands.h"
#include "conversion/file_ops.h"
#include "options.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

constexpr const char *kImageName = "TRK7700_Encode.Bin";

struct FirmwareOptions {
    std::string folder;
    bool yes = false;
    // The library takes the folder with its closing separator.
    std::string libraryFolder() const
    {
        return fs::absolute(folder).lexically_normal().string() + client::kFolderSeparator;
    }
};

// The image's version, or empty after telling why it cannot be used.
std::string imageVersion(RunContext &context, const std::string &folder)
{
    client::TextBuffer version(11);
    const auto call = context.library.readBinFileFwVersion(version, folder);
    if (!context.callMade(call)) return {};
    if (call.result != return_read_binfile_FW_version_successful) {
        context.fail("cannot read the image in " + folder + ": " + explainFailure(call.result));
        return {};
    }
    return version.text();
}

int showVersion(RunContext &context, const FirmwareOptions &options)
{
    const std::string folder = options.libraryFolder();
    const std::string version = imageVersion(context, folder);
    if (version.empty()) return kExitFailed;
    std::printf("Firmware version of %s%s: %s\n", folder.c_str(), kImageName, version.c_str());
    return kExitOk;
}

int upgrade(RunContext &context, const FirmwareOptions &options)
{
    if (!options.yes && !RunContext::someoneCanAnswer())
        return context.fail("a firmware upgrade needs a confirmation: add --yes when no one can answer. Nothing "
                            "was sent.");
    // The image is checked before the port is touched.
    const std::string folder = options.libraryFolder();
    const std::string newVersion = imageVersion(context, folder);
    if (newVersion.empty()) return kExitFailed;

    Connection connection(context);
    if (!connection.open()) return kExitFailed;
    int32_t serial = 0;
    client::TextBuffer firmware(8);
    auto call = context.library.readDeviceInformation(connection.comPort(), serial, firmware);
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_read_device_information_successful)
        return context.fail("cannot read the logger's firmware version: " + explainFailure(call.result) +
                            " Nothing was sent.");
    const std::string oldVersion = firmware.text();
    const std::string question = "Replace firmware " + oldVersion + " on the logger (serial number " +
                                 std::to_string(static_cast<uint32_t>(serial)) + ") with " + newVersion + " from " +
                                 folder + kImageName + "?";
    if (options.yes)
        context.note(question + " (--yes)");
    else if (!context.ask(question)) {
        std::fprintf(stderr, "Nothing sent; the logger keeps firmware %s.\n", oldVersion.c_str());
        return kExitFailed;
    }
    auto progress = context.progress();
    call = context.runOnWorker([&] { return context.library.fwUpgrade(connection.comPort(), folder); },
                               [&] { progress->phase("Sending the firmware..."); },
                               "The upgrade was broken off: switch the logger off and on and upgrade again.");
    progress->finish("");
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_upgrade_firmware_successful)
        return context.fail("the firmware upgrade failed: " + explainFailure(call.result));
    connection.forget();
    std::printf("Firmware %s sent (was %s); the logger restarts. Please remove the USB cable.\n", newVersion.c_str(),
                oldVersion.c_str());
    return kExitOk;
}

}  // namespace

void addFirmwareCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand("firmware", "the firmware image's version, or the upgrade of the logger");
    command->require_subcommand(1);
    auto options = std::make_shared<FirmwareOptions>();

    CLI::App *version = command->add_subcommand("version", std::string("the firmware version of the image ") +
                                                               kImageName + " in DIR (no logger needed)");
    version->add_option("DIR", options->folder, "the folder that holds the image")->required()->check(nonEmptyPath());
    addPortOption(*version, context);  // accepted anywhere, though no logger is needed
    addQuietOption(*version, context);
    version->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return showVersion(context, *options); }; });

    CLI::App *upgradeCommand = command->add_subcommand(
        "upgrade", std::string("check the image ") + kImageName +
                       " in DIR and send it to the logger, which then restarts (asks first, naming the logger's "
                       "firmware version and the image's)");
    upgradeCommand->add_option("DIR", options->folder, "the folder that holds the image")
        ->required()
        ->check(nonEmptyPath());
    upgradeCommand->add_flag("-y,--yes", options->yes, "upgrade without asking (needed when no one can answer)");
    addPortOption(*upgradeCommand, context);
    addQuietOption(*upgradeCommand, context);
    upgradeCommand->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return upgrade(context, *options); }; });
}

}  // namespace trk7700::cli
