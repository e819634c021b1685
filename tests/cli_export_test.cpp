// Tracks as users want them, from the command line: trips and days as tracks
// of their own, marks as named waypoints, every complete readout kept in the
// history before any erase, and `convert` making the same files from a saved
// text, a raw log or a history entry as the readout made.
#include "sim/track_generator.h"
#include "support/command_line.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

size_t count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// GPSBabel stamps the time it made a file; everything else must be equal.
std::string withoutCreationTime(const std::string &text)
{
    static const std::regex stamp("<time>[^<]*</time>|<snippet>Created [^<]*</snippet>");
    return std::regex_replace(text, stamp, "", std::regex_constants::format_first_only);
}

class CommandLineExportTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        logger->withState([&](sim::DeviceState &s) {
            s.logImage = log.image;
            s.serialNumber = 777;
        });
    }
    void TearDown() override
    {
        ::unsetenv("XDG_DATA_HOME");
        DeviceTest::TearDown();
    }
    CommandRun run(const std::vector<std::string> &arguments) { return runCommand(dir.path(), arguments); }

    // The trips and mark runs as the generator made them.
    size_t tripsLongerApartThan(long seconds) const
    {
        size_t trips = 1;
        for (size_t i = 1; i < log.points.size(); ++i)
            if (log.points[i].utcSeconds - log.points[i - 1].utcSeconds > seconds) ++trips;
        return trips;
    }
    std::vector<int> markRuns() const
    {
        std::vector<int> runs;
        int previous = 0xFF;
        for (const auto &p : log.points) {
            if (p.tag != previous && p.tag != 0xFF) runs.push_back(p.tag);
            previous = p.tag;
        }
        return runs;
    }

    const sim::GeneratedLog log = sim::generateLog(sim::LogShape::drive, 12);
};

TEST_F(CommandLineExportTest, TripsAndWaypointsInGpxAndKml)
{
    const CommandRun r =
        run({"--port", "3", "download", (dir / "out").string(), "--gpx", "--kml", "--plt", "--trips", "30m"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string gpx = readFile(dir / "out" / "Wayfolk.gpx");
    EXPECT_EQ(count(gpx, "<trk>"), tripsLongerApartThan(1800));
    EXPECT_GT(tripsLongerApartThan(1800), 1u);
    EXPECT_EQ(count(gpx, "<trkpt "), log.points.size());
    const auto runs = markRuns();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(count(gpx, "<wpt "), runs.size());
    for (int mark : runs) EXPECT_NE(gpx.find("<name>Mark " + std::to_string(mark) + "</name>"), std::string::npos);
    const std::string kml = readFile(dir / "out" / "Wayfolk.kml");
    EXPECT_GE(count(kml, "<name>Mark "), runs.size());
    EXPECT_FALSE(fs::exists(dir / "out" / ".Wayfolk.marks.gpx")) << "the waypoint file is the run's own scratch";

    // One track per trip with no split; a new one at every midnight with --days.
    ASSERT_EQ(run({"--port", "3", "download", (dir / "whole").string(), "--gpx"}).exitCode, 0);
    EXPECT_EQ(count(readFile(dir / "whole" / "Wayfolk.gpx"), "<trk>"), 1u);
    ASSERT_EQ(run({"--port", "3", "download", (dir / "days").string(), "--gpx", "--days", "--tz", "UTC"}).exitCode, 0);
    std::set<int64_t> days;
    for (const auto &p : log.points) days.insert(p.utcSeconds / 86400);
    EXPECT_EQ(count(readFile(dir / "days" / "Wayfolk.gpx"), "<trk>"), days.size());
}

TEST_F(CommandLineExportTest, BadSplitValuesAreRefusedBeforeThePortIsTouched)
{
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"download", (dir / "x").string(), "--trips", "0m"},
          std::vector<std::string>{"download", (dir / "x").string(), "--trips", "soon"},
          std::vector<std::string>{"download", (dir / "x").string(), "--days", "--tz", "Mars/Olympus"}}) {
        const CommandRun r = run(arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments.back();
        EXPECT_NE(r.err.find(arguments.back()), std::string::npos) << r.err;
    }
    EXPECT_EQ(logger->openCount(), 0);
}

TEST_F(CommandLineExportTest, ConvertMakesTheReadoutsFilesFromTextRawLogAndHistory)
{
    const std::vector<std::string> exports{"--gpx", "--kml", "--plt", "--per-mark", "--trips", "2h"};
    auto download = std::vector<std::string>{"--port", "3", "download", (dir / "readout").string()};
    download.insert(download.end(), exports.begin(), exports.end());
    ASSERT_EQ(run(download).exitCode, 0);

    const CommandRun history = run({"history"});
    ASSERT_EQ(history.exitCode, 0);
    std::smatch found;
    const std::string listing = history.out;
    ASSERT_TRUE(std::regex_search(listing, found, std::regex("777/[0-9T:-]+Z"))) << listing;
    const std::string entry = found.str();

    writeFile(dir / "DB.sr", std::string(log.image.begin(), log.image.end()));
    const std::pair<const char *, std::string> sources[] = {
        {"text", (dir / "readout" / "Wayfolk.txt").string()}, {"raw", (dir / "DB.sr").string()}, {"history", entry}};
    for (const auto &[name, source] : sources) {
        auto convert = std::vector<std::string>{"convert", source, (dir / name).string()};
        convert.insert(convert.end(), exports.begin(), exports.end());
        const CommandRun r = run(convert);
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        for (const auto &file : fs::directory_iterator(dir / "readout")) {
            const std::string fileName = file.path().filename().string();
            EXPECT_TRUE(withoutCreationTime(readFile(file.path())) ==
                        withoutCreationTime(readFile(dir / name / fileName)))
                << name << ": " << fileName;
        }
        EXPECT_EQ(fs::directory_iterator(dir / name) == fs::directory_iterator(), false);
    }
    EXPECT_EQ(logger->snapshot().erases, 0);
    EXPECT_EQ(run({"convert", "777/never", (dir / "nothing").string()}).exitCode, 1);
}

TEST_F(CommandLineExportTest, EraseComesOnlyAfterTheReadoutIsInTheHistory)
{
    ASSERT_EQ(run({"--port", "3", "download", (dir / "out").string(), "--erase", "--yes"}).exitCode, 0);
    EXPECT_EQ(logger->snapshot().erases, 1);
    const CommandRun history = run({"history"});
    EXPECT_NE(history.out.find("777/"), std::string::npos) << history.out;

    // A history that cannot be written stops the erase.
    logger->withState([&](sim::DeviceState &s) { s.logImage = log.image; });
    writeFile(dir / "blocked", "a file where the history folder should be");
    ::setenv("XDG_DATA_HOME", (dir / "blocked").c_str(), 1);
    const CommandRun blocked = run({"--port", "3", "download", (dir / "out2").string(), "--erase", "--yes"});
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_NE(blocked.err.find("nothing was erased"), std::string::npos) << blocked.err;
    EXPECT_EQ(logger->snapshot().erases, 1);
}

}  // namespace
