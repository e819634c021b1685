// trk7700 erase: the logger's whole log memory, after a question.
#include "advice.h"
#include "commands.h"
#include "options.h"

#include <cstdio>

namespace trk7700::cli {
namespace {

struct EraseOptions {
    bool yes = false;
};

int erase(RunContext &context, const EraseOptions &options)
{
    if (!options.yes && !RunContext::someoneCanAnswer())
        return context.fail("erasing needs a confirmation: add --yes when no one can answer. Nothing was erased.");
    if (!options.yes && !context.ask("Erase every track on the logger? This cannot be undone.")) {
        std::fprintf(stderr, "Nothing erased.\n");
        return kExitFailed;
    }
    Connection connection(context);
    if (!connection.open()) return kExitFailed;
    auto progress = context.progress();
    const auto call = context.runOnWorker([&] { return context.library.eraseAllDb(connection.comPort()); },
                                          [&] { progress->phase("Erasing (this can take a few minutes)..."); },
                                          "The erase was broken off: the log may be partly erased.");
    progress->finish("");
    if (!context.callMade(call)) return kExitFailed;
    if (call.result != return_erase_db_successful)
        return context.fail("the erase failed: " + explainFailure(call.result));
    std::printf("The logger's log memory is erased.\n");
    return kExitOk;
}

}  // namespace

void addEraseCommand(CLI::App &app, RunContext &context, CommandRunner &chosen)
{
    CLI::App *command = app.add_subcommand("erase", "erase every track on the logger (asks first)");
    auto options = std::make_shared<EraseOptions>();
    command->add_flag("-y,--yes", options->yes, "erase without asking (needed when no one can answer)");
    addPortOption(*command, context);
    addQuietOption(*command, context);
    command->callback(
        [&chosen, &context, options] { chosen = [&context, options] { return erase(context, *options); }; });
}

}  // namespace trk7700::cli
