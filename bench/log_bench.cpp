// trk7700-bench-log: the log readout on a full log of 249,856 records against
// the simulated logger on a pseudo-terminal, split into its steps, printed as
// a table, then the conversion of that log into the NMEA file and GPSBabel's
// KML, PLT and GPX files. --long adds a download paced at 115200 baud (about
// six minutes).
#include "TRK7700_DLL.h"
#include "conversion/track_conversion.h"
#include "conversion/track_export.h"
#include "dumpmode/dump_mode.h"
#include "frame/work_folder.h"
#include "log/log_image.h"
#include "log/log_operations.h"
#include "log/track_text.h"
#include "sim/simulated_logger.h"
#include "sim/track_generator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace trk7700;

namespace {

constexpr int kCom = 3;
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;  // 8N1

double secondsOf(const std::function<bool()> &work, bool &ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = work() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Figures {
    std::vector<double> runs;
    double best() const { return *std::min_element(runs.begin(), runs.end()); }
    double median() const
    {
        auto sorted = runs;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

std::string machine()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown processor";
    while (std::getline(cpuinfo, line))
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    return model + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

void row(const char *what, const Figures &f, const char *goal)
{
    std::printf("| %-38s | %9.3f s | %9.3f s | %-10s |\n", what, f.best(), f.median(), goal);
}

// Runs a step in the work folder.
bool inFolder(const fs::path &folder, const std::function<bool()> &step)
{
    const auto previous = fs::current_path();
    fs::current_path(folder);
    const bool ok = step();
    fs::current_path(previous);
    return ok;
}

void usage(FILE *out)
{
    std::fprintf(out, "Usage: trk7700-bench-log [--runs N] [--long]\n"
                      "  --runs N  repetitions of each unpaced measurement (default 5)\n"
                      "  --long    also a download paced at 115200 baud (about 6 minutes)\n");
}

}  // namespace

int main(int argc, char **argv)
{
    int runs = 5;
    bool longMode = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--long")
            longMode = true;
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            usage(stderr);
            return 2;
        }
    }

    char pattern[] = "/tmp/trk7700-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path ports = root / "ports", work = root / "work";
    fs::create_directories(ports);
    fs::create_directories(work);
    ::setenv("TRK7700_PORT_DIR", ports.c_str(), 1);

    const auto log = sim::generateLog(sim::LogShape::full, 1);
    sim::SimulatedLogger::Options options;
    options.portDirectory = ports.string();
    options.comNumber = kCom;
    options.baudRate = 0;
    sim::SimulatedLogger logger(options);
    logger.start();
    logger.withState([&](sim::DeviceState &state) { state.logImage = log.image; });
    if (QZ_TRK7700_INTO_DUMP_MODE(kCom) != return_into_dump_mode_successful) {
        std::fprintf(stderr, "trk7700-bench-log: the simulated logger did not enter dump mode\n");
        return 1;
    }

    bool ok = true;
    Figures download, ordering, exporting, orderingAndExport, endToEnd;
    for (int r = 0; r < runs; ++r) {
        const double d = secondsOf([&] { return inFolder(work, [] { return log::downloadLogImage() == 1; }); }, ok);
        const double o = secondsOf([&] { return inFolder(work, [] { return log::SortLogImage() == 1; }); }, ok);
        const double e =
            secondsOf([&] { return inFolder(work, [] { return log::exportTrackTextTo("track.txt") == 1; }); }, ok);
        download.runs.push_back(d);
        ordering.runs.push_back(o);
        exporting.runs.push_back(e);
        orderingAndExport.runs.push_back(o + e);
        const std::string path = (work / "Wayfolk.txt").string();
        endToEnd.runs.push_back(
            secondsOf([&] { return QZ_TRK7700_DUMP_DB(kCom, path.c_str()) == return_dump_db_successful; }, ok));
    }

    std::printf("Log readout of a full log: %zu records, %zu bytes, over a pseudo-terminal\n", log::kRecordCount,
                log::kLogImageSize);
    std::printf("Machine: %s; %d runs each\n\n", machine().c_str(), runs);
    std::printf("| %-38s | %11s | %11s | %-10s |\n", "step", "best", "median", "goal");
    std::printf("|%s|%s|%s|%s|\n", std::string(40, '-').c_str(), std::string(13, '-').c_str(),
                std::string(13, '-').c_str(), std::string(12, '-').c_str());
    row("download, unpaced", download, "");
    row("ordering (SortLogImage)", ordering, "");
    row("export (ExportTrackText)", exporting, "");
    row("ordering + export", orderingAndExport, "<= 0.5 s");
    row("QZ_TRK7700_DUMP_DB end to end, unpaced", endToEnd, "<= 2 s");

    // The conversion of the full log's track text, as the command line does it.
    const auto files = client::readoutFiles(work.string(), "");
    Figures nmea, input;
    for (int r = 0; r < runs; ++r) {
        nmea.runs.push_back(secondsOf([&] { return client::convertTrackText(files, false).ok(); }, ok));
        client::GpsBabelInput prepared;
        input.runs.push_back(secondsOf(
            [&] {
                prepared = client::prepareGpsBabelInput(files, client::TrackSplitting{1800, true});
                return prepared.ok();
            },
            ok));
        client::removeGpsBabelInput(prepared);
    }
    row("NMEA file (convertTrackText)", nmea, "");
    row("GPSBabel input, trips and days", input, "");

    // GPSBabel once per format, the three side by side (as the command line
    // runs them), and once for all three formats.
    client::ExportOptions all;
    all.kml = all.plt = all.gpx = true;
    client::GpsBabelInput whole;
    whole.whole = files.nmea;
    const auto runsOfAll = client::exportRuns(files, all, "", whole);
    auto runGpsBabel = [&](const std::vector<std::string> &arguments) {
        std::string error, diagnostics;
        return client::runAndWait(client::kGpsBabelProgram, arguments, error, diagnostics) == 0;
    };
    std::printf("\nGPSBabel on the full log (%s), one run each:\n\n", client::kGpsBabelProgram);
    std::printf("| %-38s | %11s | %-22s |\n", "conversion", "seconds", "output");
    for (const auto &run : runsOfAll) {
        bool made = true;
        const double t = secondsOf([&] { return runGpsBabel(run.arguments); }, made);
        std::error_code ec;
        const auto size = fs::file_size(run.output, ec);
        std::printf("| %-38s | %9.2f s | %-22s |\n", ("GPSBabel " + run.format + " alone").c_str(), t,
                    made ? (std::to_string(size / 1000) + " kB").c_str() : "failed");
        ok = made && ok;
    }
    const double sideBySide = secondsOf(
        [&] {
            std::vector<std::thread> threads;
            std::vector<char> made(runsOfAll.size(), 0);
            for (size_t i = 0; i < runsOfAll.size(); ++i)
                threads.emplace_back([&, i] { made[i] = runGpsBabel(runsOfAll[i].arguments) ? 1 : 0; });
            for (auto &t : threads) t.join();
            return std::all_of(made.begin(), made.end(), [](char m) { return m != 0; });
        },
        ok);
    std::printf("| %-38s | %9.2f s | %-22s |\n", "KML, PLT, GPX side by side", sideBySide, "");
    // One run that reads the log once and writes every format.
    std::vector<std::string> once = {"-p", "", "-w", "-t", "-i", "nmea", "-f", files.nmea};
    for (const auto &run : runsOfAll)
        once.insert(once.end(), {"-o", client::gpsBabelOutputFormat(run.format), "-F", run.output});
    const double oneRun = secondsOf([&] { return runGpsBabel(once); }, ok);
    std::printf("| %-38s | %9.2f s | %-22s |\n", "KML, PLT, GPX in one GPSBabel run", oneRun, "");

    if (longMode) {
        logger.setBaudRate(115200);
        Figures paced;
        paced.runs.push_back(
            secondsOf([&] { return inFolder(work, [] { return log::downloadLogImage() == 1; }); }, ok));
        const double ideal = static_cast<double>(log::kLogImageSize) / kLineBytesPerSecond;
        std::printf("\nPaced download at 115200 baud 8N1 (11,520 bytes/s): %.1f s, ideal %.1f s, "
                    "line-rate efficiency %.4f (goal >= 0.99)\n",
                    paced.best(), ideal, ideal / paced.best());
    }

    QZ_TRK7700_EXIT_DUMP_MODE();
    logger.stop();
    std::error_code ec;
    fs::remove_all(root, ec);
    if (!ok) {
        std::fprintf(stderr, "trk7700-bench-log: a step failed; the figures are not valid\n");
        return 1;
    }
    return 0;
}
