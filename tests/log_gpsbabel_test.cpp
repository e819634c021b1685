// The sentences of a read-out log are real NMEA 0183: GPSBabel reads them back
// and finds every record's position and time.
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/gpx_points.h"
#include "support/log_files.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

extern char **environ;

using namespace trk7700;
using namespace trk7700::testing;

namespace {

// Runs a program with an argument list (no shell); its exit status, or -1.
int run(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const auto &a : arguments) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The data lines of a track text without their mark column.
std::string sentencesOf(const std::string &track)
{
    std::string sentences;
    size_t start = 0;
    int line = 0;
    while (start < track.size()) {
        size_t end = track.find("\r\n", start);
        end = end == std::string::npos ? track.size() : end + 2;
        if (line++ >= 2) sentences += track.substr(start + 4, end - start - 4);
        start = end;
    }
    return sentences;
}

}  // namespace

using GpsBabelTest = DeviceTest;

TEST_F(GpsBabelTest, ReadsBackEveryRecordsPositionAndTime)
{
    ASSERT_EQ(run({"gpsbabel", "-V"}), 0) << "gpsbabel is missing: scripts/install-deps.sh installs it";

    const auto log = sim::generateLog(sim::LogShape::drive, 2026);
    logger->withState([&](sim::DeviceState &state) { state.logImage = log.image; });
    int quadrants = 0;
    for (const auto &p : log.points) quadrants |= 1 << ((p.latitude < 0 ? 2 : 0) + (p.longitude < 0 ? 1 : 0));
    EXPECT_EQ(quadrants, 0xF) << "the drive crosses all four hemispheres";
    bool passesMidnight = false;
    for (size_t i = 1; i < log.points.size(); ++i)
        passesMidnight |= log.points[i].utcSeconds / 86400 != log.points[i - 1].utcSeconds / 86400 &&
                          log.points[i].utcSeconds - log.points[i - 1].utcSeconds < 60;
    EXPECT_TRUE(passesMidnight) << "one trip runs through midnight UTC";

    connect();
    const auto work = dir / "work";
    ASSERT_EQ(QZ_TRK7700_DUMP_DB(kCom, (work / "track.txt").c_str()), return_dump_db_successful);
    writeFile(work / "track.nmea", sentencesOf(readFile(work / "track.txt")));

    const auto gpx = work / "track.gpx";
    ASSERT_EQ(
        run({"gpsbabel", "-t", "-i", "nmea", "-f", (work / "track.nmea").string(), "-o", "gpx", "-F", gpx.string()}),
        0);
    const auto read = gpxTrackPoints(readFile(gpx));
    ASSERT_EQ(read.size(), log.points.size());
    for (size_t i = 0; i < read.size(); ++i) {
        const auto &expected = log.points[i];
        ASSERT_NEAR(read[i].latitude, expected.latitude, 1e-8) << "record " << i;
        ASSERT_NEAR(read[i].longitude, expected.longitude, 1e-8) << "record " << i;
        ASSERT_EQ(read[i].time, isoUtcTime(expected.utcSeconds)) << "record " << i;
    }
}
