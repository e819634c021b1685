// trk7700: the TRK-7700 logger from the command line, for scripts and terminals.
// It binds the link library at run time exactly as the desktop tool does and
// shares the tool's conversion step. Every option value is checked before the
// port is touched; usage errors exit with 2 and point to the command's help.
#include "commands.h"
#include "interrupt.h"
#include "options.h"

#include <cstdio>
#include <exception>

using namespace trk7700::cli;

namespace {

// "trk7700 settings" for the deepest command the parser had entered.
std::string commandPath(const CLI::App &app)
{
    std::string path = app.get_name();
    const CLI::App *at = &app;
    for (;;) {
        const auto entered = at->get_subcommands();
        if (entered.empty()) break;
        at = entered.front();
        path += " " + at->get_name();
    }
    return path;
}

std::string versionText(RunContext &context)
{
    trk7700::client::TextBuffer library(5);
    const auto call = context.library.readDllVersion(library);
    return std::string("trk7700 ") + TRK7700_VERSION + "\nlink library " + context.library.fileName() + " " +
           (call.made() ? library.text() : "(not found: " + call.failure + ")");
}

}  // namespace

int main(int argc, char **argv)
{
    RunContext context;
    CommandRunner chosen;
    CLI::App app("Talks to a TRK-7700 GPS track logger over its serial port. 'trk7700 COMMAND --help' explains a "
                 "command.\nExit status: 0 done, 1 failed (told on standard error), 2 usage error, 130 or 143 "
                 "ended by Ctrl-C or SIGTERM.",
                 "trk7700");
    app.set_version_flag(
        "--version", [&context] { return versionText(context); },
        "the versions of trk7700 and of "
        "the link library");
    addPortOption(app, context);
    addQuietOption(app, context);
    addDownloadCommand(app, context, chosen);
    addEraseCommand(app, context, chosen);
    addSettingsCommand(app, context, chosen);
    addInfoCommand(app, context, chosen);
    addFirmwareCommand(app, context, chosen);
    addPortsCommand(app, context, chosen);
    addConvertCommand(app, context, chosen);
    addHistoryCommand(app, context, chosen);
    addStatsCommand(app, context, chosen);
    app.require_subcommand(1);

    if (argc == 1) {
        std::fputs(app.help().c_str(), stderr);
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        const std::string where = commandPath(app);
        std::string message = e.what();
        if (where == app.get_name() && argc > 1 &&
            (dynamic_cast<const CLI::ExtrasError *>(&e) != nullptr ||
             dynamic_cast<const CLI::RequiredError *>(&e) != nullptr)) {
            // No command was recognised: name the word that was meant as one.
            for (int i = 1; i < argc; ++i) {
                const std::string word = argv[i];
                if (word.rfind('-', 0) == 0) {
                    if (word == "--port") ++i;
                    continue;
                }
                message = "unknown command '" + word + "'";
                break;
            }
        }
        std::fprintf(stderr, "%s: %s\nRun '%s --help' for its options.\n", where.c_str(), message.c_str(),
                     where.c_str());
        return kExitUsage;
    }
    if (!chosen) {
        std::fputs(app.help().c_str(), stderr);
        return kExitUsage;
    }
    installInterruptHandlers();
    try {
        return chosen();
    } catch (const std::exception &e) {
        // A fault of this program, never the user's: told, not a crash.
        std::fprintf(stderr, "%s: failed unexpectedly: %s\n", commandPath(app).c_str(), e.what());
        return kExitFailed;
    }
}
