// trk7700-sim: a simulated TRK-7700 on a pseudo-terminal, reachable as COM<n>
// through a port directory.
#include "sim/simulated_logger.h"
#include "sim/track_generator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;
void onSignal(int) { interrupted = 1; }

void usage(FILE *out)
{
    std::fprintf(out, "Usage: trk7700-sim --port-dir DIR [--com N] [--baud RATE | --unpaced] [--log SHAPE] [--seed N]\n"
                      "       trk7700-sim --port-dir DIR [--com N] --replay TRANSCRIPT\n"
                      "\n"
                      "Runs a simulated TRK-7700 logger on a pseudo-terminal and makes the entry\n"
                      "COM<N> for it in DIR. Point the library at it with TRK7700_PORT_DIR=DIR.\n"
                      "\n"
                      "  --port-dir DIR   port directory to put the COM entry in (created if missing)\n"
                      "  --com N          COM number of the simulated logger (default 3)\n"
                      "  --baud RATE      pace the logger's output at RATE baud, 8N1 (default 115200)\n"
                      "  --unpaced        send as fast as the pseudo-terminal takes it\n"
                      "  --log SHAPE      the log in the logger's memory (default wrapped):\n"
                      "                     drive     a few trips with marks, never wrapped\n"
                      "                     marks     a few trips with many marks\n"
                      "                     wrapped   a long history whose ring wrapped\n"
                      "                     two-gaps  wrapped, with a second run of empty slots\n"
                      "                     empty     erased\n"
                      "                     full      every slot used\n"
                      "  --seed N         seed of the generated log (default 1); the same seed, the same log\n"
                      "  --replay FILE    answer as the logger did in a transcript the library wrote\n"
                      "                   with TRK7700_TRACE=FILE, request by request\n"
                      "  --help           this text\n");
}

}  // namespace

int main(int argc, char **argv)
{
    trk7700::sim::SimulatedLogger::Options options;
    options.baudRate = 115200;
    trk7700::sim::LogShape logShape = trk7700::sim::LogShape::wrapped;
    uint64_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "trk7700-sim: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--port-dir")
            options.portDirectory = value();
        else if (arg == "--com")
            options.comNumber = std::atoi(value().c_str());
        else if (arg == "--baud")
            options.baudRate = std::atol(value().c_str());
        else if (arg == "--unpaced")
            options.baudRate = 0;
        else if (arg == "--log") {
            const std::string name = value();
            const auto shape = trk7700::sim::logShapeNamed(name);
            if (!shape) {
                std::fprintf(stderr, "trk7700-sim: unknown log %s\n", name.c_str());
                return 2;
            }
            logShape = *shape;
        } else if (arg == "--seed")
            seed = std::strtoull(value().c_str(), nullptr, 10);
        else if (arg == "--replay") {
            const std::string transcript = value();
            std::string error;
            options.replay = trk7700::sim::readTranscript(transcript, error);
            if (options.replay.empty()) {
                std::fprintf(stderr, "trk7700-sim: %s\n", error.c_str());
                return 2;
            }
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "trk7700-sim: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (options.portDirectory.empty()) {
        usage(stderr);
        return 2;
    }
    if (options.comNumber < 1 || options.comNumber > 256) {
        std::fprintf(stderr, "trk7700-sim: the COM number must be 1 to 256\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(options.portDirectory, ec);
    options.portDirectory = std::filesystem::absolute(options.portDirectory).string();

    trk7700::sim::SimulatedLogger logger(options);
    auto generated = trk7700::sim::generateLog(logShape, seed);
    const size_t records = generated.writeOrder.size();
    logger.withState([&](trk7700::sim::DeviceState &state) { state.logImage = std::move(generated.image); });
    try {
        logger.start();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "trk7700-sim: %s\n", e.what());
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("Simulated TRK-7700 on COM%d (%s)\n", options.comNumber, logger.slavePath().c_str());
    std::printf("Log: %s, seed %llu, %zu records\n", trk7700::sim::logShapeName(logShape),
                static_cast<unsigned long long>(seed), records);
    std::printf("TRK7700_PORT_DIR=%s\n", options.portDirectory.c_str());
    std::fflush(stdout);
    while (!interrupted) pause();
    logger.stop();
    return 0;
}
