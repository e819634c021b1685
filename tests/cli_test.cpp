// The command line end to end: the simulated logger, trk7700 download with
// every format, and GPSBabel reading the result back; failures in words.
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/gpx_points.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

struct CommandRun {
    int exitCode;
    std::string out, err;
};

std::string quoted(const std::string &text)
{
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CommandLineTest : public DeviceTest {
protected:
    CommandRun trk7700(const std::string &arguments)
    {
        const std::string program = std::string(TRK_BINARY_DIR) + "/bin/trk7700";
        const auto out = dir / "stdout", err = dir / "stderr";
        // The history it keeps goes into the test's folder, never the user's.
        const std::string command = "XDG_DATA_HOME=" + quoted((dir / "data").string()) + " " + quoted(program) + " " +
                                    arguments + " </dev/null >" + quoted(out.string()) + " 2>" + quoted(err.string());
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    }

    // The lines of a file, without their CR LF.
    static std::vector<std::string> lines(const fs::path &path)
    {
        std::vector<std::string> result;
        std::istringstream in(readFile(path));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            result.push_back(line);
        }
        return result;
    }
};

}  // namespace

TEST_F(CommandLineTest, DownloadWithEveryFormatMatchesTheLoggersLog)
{
    const auto log = sim::generateLog(sim::LogShape::marks, 7);
    logger->withState([&](sim::DeviceState &s) { s.logImage = log.image; });
    const auto out = dir / "new" / "nested" / "out";  // made whole, not only its last folder

    const CommandRun run = trk7700("--port 3 download " + quoted(out.string()) + " --kml --plt --gpx --per-mark");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Read " + std::to_string(log.points.size()) + " records"), std::string::npos) << run.out;
    for (const char *name : {"Wayfolk.txt", "Wayfolk.nmea", "Wayfolk.kml", "Wayfolk.plt", "Wayfolk.gpx"})
        EXPECT_GT(fs::file_size(out / name), 0u) << name;
    for (const char *leftover : {"DB.sr", "SortDB.sr", "Output_tmp.dat"}) EXPECT_FALSE(fs::exists(out / leftover));

    // Every record comes back from the GPX with its position (to the NMEA
    // resolution) and its time.
    const auto points = gpxTrackPoints(readFile(out / "Wayfolk.gpx"));
    ASSERT_EQ(points.size(), log.points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        ASSERT_NEAR(points[i].latitude, log.points[i].latitude, 2e-6) << "record " << i;
        ASSERT_NEAR(points[i].longitude, log.points[i].longitude, 2e-6) << "record " << i;
        ASSERT_EQ(points[i].time, isoUtcTime(log.points[i].utcSeconds)) << "record " << i;
    }

    // Each mark's file holds its latest run of records: a GGA and an RMC line each.
    std::map<int, std::pair<size_t, size_t>> lastRun;  // mark -> first record, length
    for (size_t i = 0; i < log.points.size();) {
        size_t j = i;
        while (j < log.points.size() && log.points[j].tag == log.points[i].tag) ++j;
        if (log.points[i].tag != 0xFF) lastRun[log.points[i].tag] = {i, j - i};
        i = j;
    }
    ASSERT_FALSE(lastRun.empty());
    const auto whole = lines(out / "Wayfolk.nmea");
    for (const auto &[mark, run] : lastRun) {
        char text[4];
        std::snprintf(text, sizeof text, "%3d", mark);
        std::string k(text);
        std::replace(k.begin(), k.end(), ' ', '-');
        const auto file = out / ("wayfolk(TAG" + k + ").nmea");
        const auto got = lines(file);
        const std::vector<std::string> expected(whole.begin() + static_cast<long>(2 * run.first),
                                                whole.begin() + static_cast<long>(2 * (run.first + run.second)));
        EXPECT_EQ(got, expected) << file;
    }
}

TEST_F(CommandLineTest, FailuresAreToldInWordsWithANonZeroExit)
{
    struct Case {
        const char *arguments;
        const char *saysInError;
    } cases[] = {
        {"--port 99 info", "3 return_can_not_open_com_port"},
        {"--port 3 erase", "--yes"},
        {"--port 3 settings --time 4000", "19 return_timeInterval_over_3600second_error"},
        {"--port 3 settings --tag maybe", "'on' or 'off'"},
        {"--port 3 firmware version /nonexistent/folder", "31 return_error_bin_file_path"},
        {"--port 3 frobnicate", "unknown command"},
    };
    for (const auto &c : cases) {
        const CommandRun run = trk7700(c.arguments);
        EXPECT_NE(run.exitCode, 0) << c.arguments;
        EXPECT_NE(run.err.find(c.saysInError), std::string::npos) << c.arguments << "\n" << run.err;
    }
}

TEST_F(CommandLineTest, FailedDownloadKeepsTheEarlierFilesAndConvertsNothing)
{
    const auto out = dir / "out";
    fs::create_directories(out);
    writeFile(out / "Wayfolk.txt", "earlier track text");
    writeFile(out / "Wayfolk.nmea", "earlier nmea");
    logger->setFaults({sim::Fault{sim::FaultKind::silence, 0x60}});
    const CommandRun run = trk7700("--port 3 download " + quoted(out.string()) + " --gpx");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("12 return_device_time_out"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(out / "Wayfolk.nmea"), "earlier nmea");
    EXPECT_FALSE(fs::exists(out / "Wayfolk.gpx"));
}

TEST_F(CommandLineTest, InfoAndSettingsRoundTrip)
{
    logger->withState([](sim::DeviceState &s) {
        s.serialNumber = 3000000000u;  // above the signed range: shown unsigned
        s.firmwareVersion = s.secondVersion = 0x52;
    });
    CommandRun run = trk7700("--port 3 info");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("3000000000"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("10.2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Library version:  1.5"), std::string::npos) << run.out;

    run = trk7700("--port 3 settings --distance 100 --min-speed 10 --vibration on");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto record = logger->snapshot().settingsRecord;
    EXPECT_EQ(record[0], 0xFF) << "time logging off";
    EXPECT_EQ(record[4], 100);
    EXPECT_EQ(record[8], 2);
    EXPECT_EQ(record[25], 6) << "10 km/h are sent as 6 knots";
    EXPECT_NE(run.out.find("every 100 m"), std::string::npos) << run.out;
}
