// trk7700 ports: which device each COM number maps to.
#include "commands.h"
#include "options.h"
#include "serial/port_map.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

int showPorts()
{
    const std::string directory = serial::activePortDirectory();
    if (!directory.empty()) {
        std::printf("Ports defined by the port directory %s:\n", directory.c_str());
        bool any = false;
        for (int n = 1; n <= 256; ++n) {
            const std::string entry = serial::resolvePortPath(n);
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(entry, ec))) continue;
            any = true;
            const auto target = fs::is_symlink(entry, ec) ? fs::read_symlink(entry, ec).string() : entry;
            const bool present = fs::exists(entry, ec);
            std::printf("  COM%-3d -> %s%s\n", n, target.c_str(), present ? "" : "  (missing)");
        }
        if (!any) std::printf("  (no COM entries)\n");
        return kExitOk;
    }
    const auto devices = serial::automaticPortDevices();
    std::printf("Ports numbered automatically (USB, then ACM, then Bluetooth rfcomm devices):\n");
    if (devices.empty()) std::printf("  (no USB or Bluetooth serial device present)\n");
    for (size_t i = 0; i < devices.size(); ++i) std::printf("  COM%-3zu -> %s\n", i + 1, devices[i].c_str());
    std::printf("Pin a logger to a number with a link in ~/.config/trk7700/ports, e.g.\n"
                "  mkdir -p ~/.config/trk7700/ports && ln -s /dev/ttyUSB0 ~/.config/trk7700/ports/COM3\n");
    return kExitOk;
}

}  // namespace

void addPortsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand(
        "ports", "which device each COM number maps to: the entries of $TRK7700_PORT_DIR or of "
                 "~/.config/trk7700/ports, or else the USB and Bluetooth serial devices numbered automatically");
    addQuietOption(*command, context);
    command->callback([&chosen] { chosen = showPorts; });
}

}  // namespace trk7700::cli
