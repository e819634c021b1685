// trk7700 ports: which ports there are and where each COM number leads
// (platform_posix.cpp, platform_windows.cpp).
#include "commands.h"
#include "options.h"
#include "platform.h"

namespace trk7700::cli {

void addPortsCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand("ports", portsCommandHelp());
    addQuietOption(*command, context);
    command->callback([&chosen] { chosen = listPorts; });
}

}  // namespace trk7700::cli
