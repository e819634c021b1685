// The command line brings every record into the user's files: a readout that
// broke off keeps what arrived and convert makes files from it.
// Each case runs trk7700 as a program, against the simulated logger where one
// is needed.
#include "sim/track_generator.h"
#include "support/command_line.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

size_t countOf(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The entries of a folder whose names begin with prefix.
std::vector<fs::path> entriesStartingWith(const fs::path &folder, const std::string &prefix)
{
    std::vector<fs::path> found;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path());
    return found;
}

class CommandLineTrackFilesTest : public DeviceTest {
protected:
    CommandRun run(const std::vector<std::string> &arguments, const CommandOptions &options = {})
    {
        return runCommand(dir.path(), arguments, options);
    }
};

}  // namespace

TEST_F(CommandLineTrackFilesTest, ReadoutThatBrokeOffKeepsWhatArrivedForConvert)
{
    const auto log = sim::generateLog(sim::LogShape::drive, 7);
    logger->withState([&](sim::DeviceState &s) { s.logImage = log.image; });
    constexpr size_t kArrived = 3000;  // records before the cable is pulled
    ASSERT_LT(kArrived, log.points.size());
    logger->setFaults({sim::Fault{sim::FaultKind::hangup, 0x60, kArrived * 16, 500}});

    const fs::path out = dir / "out";
    fs::create_directories(out);
    writeFile(out / "Wayfolk.txt", "earlier text\r\n");
    writeFile(out / "Wayfolk.nmea", "earlier nmea\r\n");
    const CommandRun r = run({"--port", "3", "download", out.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "the download failed")) << r.err;
    EXPECT_EQ(readFile(out / "Wayfolk.txt"), "earlier text\r\n");
    EXPECT_EQ(readFile(out / "Wayfolk.nmea"), "earlier nmea\r\n");

    const auto parts = entriesStartingWith(out, "Wayfolk-broken-off-");
    ASSERT_EQ(parts.size(), 1u) << r.err;
    const std::string part = parts.front().string();
    EXPECT_EQ(parts.front().extension(), ".sr");
    EXPECT_TRUE(contains(r.err, "The " + std::to_string(kArrived) + " records that arrived")) << r.err;
    EXPECT_TRUE(contains(r.err, "kept in " + part)) << r.err;
    EXPECT_TRUE(contains(r.err, "trk7700 convert " + part + " DIR")) << r.err;
    EXPECT_FALSE(fs::exists(out / "DB.sr"));

    // convert orders the part as a log: the records that arrived, oldest first.
    const fs::path again = dir / "again";
    const CommandRun c = run({"convert", part, again.string()});
    EXPECT_EQ(c.exitCode, 0) << c.err;
    const std::string text = readFile(again / "Wayfolk.txt");
    EXPECT_EQ(countOf(text, "$GPGGA,"), kArrived + 1);  // and the header line
    EXPECT_EQ(countOf(readFile(again / "Wayfolk.nmea"), "$GPRMC,"), kArrived);
    // The part stays where it is.
    EXPECT_TRUE(fs::is_regular_file(part));
}

namespace {

constexpr uint32_t kLongitude = 121345678;  // 121 degrees 34.5678 minutes east
constexpr uint32_t kLatitude = 25031234;    // 25 degrees 03.1234 minutes north

RecordFields at(uint32_t stamp, uint8_t tag = 0xFF, uint32_t latitude = kLatitude, uint32_t longitude = kLongitude)
{
    return {longitude, latitude, stamp, 12, 5, tag};
}

// The whole output of a run, for messages that may go to either stream.
std::string said(const CommandRun &r) { return r.out + r.err; }

}  // namespace

TEST_F(CommandLineTrackFilesTest, ImpossibleRecordsStayOutOfGpsBabelsFilesAndAreCounted)
{
    const fs::path raw = dir / "half-written.sr";
    writeFile(raw, imageWith({
                       at(utcStamp(2026, 5, 1, 8, 0, 0)),
                       at(utcStamp(2026, 5, 1, 8, 0, 10), 0xFF, 95031234),           // latitude 95 degrees
                       at(utcStamp(2026, 5, 1, 8, 0, 20), 4, kLatitude, 121750000),  // 75 minutes, marked
                       at(utcStamp(2026, 5, 1, 8, 0, 30), 4),                        // the mark's first sound record
                       at(utcStamp(2026, 13, 1, 8, 0, 40)),                          // month 13
                       at(utcStamp(2026, 5, 1, 8, 0, 50)),
                   }));
    const fs::path out = dir / "out";
    const CommandRun r = run({"convert", raw.string(), out.string(), "--gpx", "--kml", "--plt"});
    ASSERT_EQ(r.exitCode, 0) << said(r);
    EXPECT_TRUE(contains(said(r), "3 of 6 records were left out of the KML, PLT and GPX files")) << said(r);

    // The track text and the NMEA file keep every record as the logger gave it.
    EXPECT_EQ(countOf(readFile(out / "Wayfolk.txt"), "$GPRMC,"), 6u + 1);
    EXPECT_EQ(countOf(readFile(out / "Wayfolk.nmea"), "$GPRMC,"), 6u);
    EXPECT_TRUE(contains(readFile(out / "Wayfolk.nmea"), "9503.1234,N"));
    // GPSBabel's files hold the three sound records, the mark at its first sound one.
    const std::string gpx = readFile(out / "Wayfolk.gpx");
    EXPECT_EQ(countOf(gpx, "<trkpt "), 3u);
    EXPECT_EQ(countOf(gpx, "<wpt "), 1u);
    EXPECT_TRUE(contains(gpx, "2026-05-01T08:00:30Z</time>\n    <name>Mark 4</name>")) << gpx;
    EXPECT_TRUE(fs::is_regular_file(out / "Wayfolk.kml"));
    EXPECT_TRUE(fs::is_regular_file(out / "Wayfolk.plt"));
    // GPSBabel's input was scratch.
    EXPECT_TRUE(entriesStartingWith(out, ".Wayfolk").empty());
}

TEST_F(CommandLineTrackFilesTest, WeekRolloverIsToldAndCorrectedOnRequest)
{
    // Records of a receiver that counts weeks from the old epoch: dated 1 April
    // 2007, really 15 November 2026.
    const fs::path raw = dir / "old-receiver.sr";
    writeFile(raw, imageWith({at(utcStamp(2007, 4, 1, 10, 0, 0)), at(utcStamp(2007, 4, 1, 10, 0, 10), 2),
                              at(utcStamp(2007, 4, 1, 10, 0, 20))}));

    const fs::path kept = dir / "kept";
    const CommandRun told = run({"convert", raw.string(), kept.string(), "--gpx"});
    ASSERT_EQ(told.exitCode, 0) << said(told);
    EXPECT_TRUE(contains(told.err, "The newest record is dated 2007-04-01")) << told.err;
    EXPECT_TRUE(contains(told.err, "probably 1024 weeks early (GPS week rollover")) << told.err;
    EXPECT_TRUE(contains(told.err, "--week-rollover")) << told.err;
    EXPECT_TRUE(contains(readFile(kept / "Wayfolk.nmea"), ",010407,"));
    EXPECT_TRUE(contains(readFile(kept / "Wayfolk.gpx"), "2007-04-01T10:00:00Z"));

    const fs::path corrected = dir / "corrected";
    const CommandRun r = run({"convert", raw.string(), corrected.string(), "--gpx", "--per-mark", "--week-rollover"});
    ASSERT_EQ(r.exitCode, 0) << said(r);
    EXPECT_FALSE(contains(r.err, "probably 1024 weeks early")) << r.err;
    EXPECT_TRUE(contains(said(r), "The dates of 3 records were moved on by 1024 weeks")) << said(r);
    // The track text stays as the logger gave it.
    EXPECT_EQ(countOf(readFile(corrected / "Wayfolk.txt"), ",010407,"), 3u);
    const std::string nmea = readFile(corrected / "Wayfolk.nmea");
    EXPECT_EQ(countOf(nmea, ",151126,"), 3u);
    EXPECT_EQ(countOf(nmea, ",010407,"), 0u);
    EXPECT_TRUE(contains(readFile(corrected / "wayfolk(TAG--2).nmea"), ",151126,"));
    // Every checksum fits its corrected sentence.
    std::istringstream lines(nmea);
    for (std::string line; std::getline(lines, line);) {
        const size_t star = line.find('*');
        ASSERT_NE(star, std::string::npos) << line;
        unsigned sum = 0;
        for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
        EXPECT_EQ(std::stoul(line.substr(star + 1, 2), nullptr, 16), sum) << line;
    }
    const std::string gpx = readFile(corrected / "Wayfolk.gpx");
    EXPECT_TRUE(contains(gpx, "2026-11-15T10:00:00Z")) << gpx;
    EXPECT_TRUE(contains(gpx, "2026-11-15T10:00:10Z</time>\n    <name>Mark 2</name>")) << gpx;
    EXPECT_FALSE(contains(gpx, "2007-")) << gpx;
}

TEST_F(CommandLineTrackFilesTest, TripsAndDaysTogetherCutAtGapsAndLocalMidnights)
{
    // Berlin is two hours ahead of UTC on 1 May: local midnight is 22:00 UTC.
    // Every track has two points at least: a KML shows no track of one point.
    const fs::path raw = dir / "evening.sr";
    writeFile(raw, imageWith({
                       at(utcStamp(2026, 5, 1, 20, 0, 0)),
                       at(utcStamp(2026, 5, 1, 20, 10, 0)),
                       at(utcStamp(2026, 5, 1, 21, 50, 0)),  // after 100 minutes: a trip
                       at(utcStamp(2026, 5, 1, 21, 55, 0)),
                       at(utcStamp(2026, 5, 1, 22, 5, 0)),  // after local midnight: a day
                       at(utcStamp(2026, 5, 1, 22, 10, 0)),
                       at(utcStamp(2026, 5, 1, 23, 0, 0)),  // after 50 minutes: a trip
                       at(utcStamp(2026, 5, 1, 23, 1, 0)),
                   }));
    struct Case {
        const char *name;
        std::vector<std::string> split;
        size_t tracks;
    } cases[] = {
        {"trips", {"--trips", "30m"}, 3},
        {"days", {"--days", "--tz", "Europe/Berlin"}, 2},
        {"both", {"--trips", "30m", "--days", "--tz", "Europe/Berlin"}, 4},
        {"days in another zone", {"--days", "--tz", "UTC"}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / c.name;
        std::vector<std::string> arguments{"convert", raw.string(), out.string(), "--gpx", "--kml", "--plt"};
        arguments.insert(arguments.end(), c.split.begin(), c.split.end());
        const CommandRun r = run(arguments);
        ASSERT_EQ(r.exitCode, 0) << said(r);
        const std::string gpx = readFile(out / "Wayfolk.gpx");
        EXPECT_EQ(countOf(gpx, "<trk>"), c.tracks);
        EXPECT_EQ(countOf(gpx, "<trkpt "), 8u);
        EXPECT_EQ(countOf(readFile(out / "Wayfolk.kml"), "<gx:Track"), c.tracks);
        EXPECT_TRUE(entriesStartingWith(out, ".Wayfolk").empty());
    }
}

TEST_F(CommandLineTrackFilesTest, KmlHoldsOneTimedLinePerTripAndTheMarksAsPlacemarks)
{
    const auto log = sim::generateLog(sim::LogShape::marks, 3);
    const fs::path raw = dir / "marks.sr";
    writeFile(raw, std::string(log.image.begin(), log.image.end()));
    size_t trips = 1;
    for (size_t i = 1; i < log.points.size(); ++i)
        if (log.points[i].utcSeconds - log.points[i - 1].utcSeconds > 1800) ++trips;
    size_t marks = 0;
    for (size_t i = 0; i < log.points.size(); ++i)
        if (log.points[i].tag != 0xFF && (i == 0 || log.points[i - 1].tag != log.points[i].tag)) ++marks;
    ASSERT_GT(trips, 1u);
    ASSERT_GT(marks, 0u);

    const fs::path out = dir / "out";
    const CommandRun r = run({"convert", raw.string(), out.string(), "--kml", "--trips", "30m"});
    ASSERT_EQ(r.exitCode, 0) << said(r);
    const std::string kml = readFile(out / "Wayfolk.kml");
    EXPECT_EQ(countOf(kml, "<gx:Track"), trips);
    EXPECT_EQ(countOf(kml, "<gx:coord>"), log.points.size());
    EXPECT_EQ(countOf(kml, "<Placemark"), trips + marks);  // no placemark per point
    EXPECT_EQ(countOf(kml, "Mark "), marks) << "the marks' placemarks";
    EXPECT_FALSE(contains(kml, "<ExtendedData")) << "no data table per point";
    // A point costs little: a full log of 249,856 points stays well below 40 MB.
    EXPECT_LT(kml.size() / log.points.size(), 160u);
}

TEST_F(CommandLineTrackFilesTest, OddArgumentsAreUsageErrorsBeforeThePortIsTouched)
{
    const std::string out = (dir / "out").string();
    const fs::path text = dir / "Wayfolk.txt";
    writeFile(text, "");
    struct Case {
        std::vector<std::string> arguments;
        const char *says;
    } cases[] = {
        {{"download", ""}, "an empty path"},
        {{"--port", "3", "download", "", "--gpx"}, "an empty path"},
        {{"convert", "", out}, "an empty path"},
        {{"convert", text.string(), ""}, "an empty path"},
        {{"stats", ""}, "an empty path"},
        {{"stats", text.string(), "--tz", "UTC"}, "--days"},
        {{"firmware", "version", ""}, "an empty path"},
        {{"--port", "3", "firmware", "upgrade", "", "--yes"}, "an empty path"},
        {{"--port", "3", "download", out, "--gpx", "--tz", "Europe/Berlin"}, "--days"},
        {{"convert", text.string(), out, "--gpx", "--tz", "UTC"}, "--days"},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const auto &a : c.arguments) shown += "'" + a + "' ";
        SCOPED_TRACE(shown);
        const CommandRun r = run(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << said(r);
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
        EXPECT_TRUE(contains(r.err, "--help")) << r.err;
    }
    EXPECT_TRUE(commandsReceived().empty());
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(CommandLineTrackFilesTest, MissingAndUnusablePathsAreToldNeverACrash)
{
    const fs::path aFile = dir / "a-file";
    writeFile(aFile, "not a folder\n");
    const fs::path aFolder = dir / "a-folder";
    fs::create_directories(aFolder);
    const fs::path text = dir / "Wayfolk.txt";
    writeFile(text, "");
    const std::string missing = (dir / "missing").string();
    const std::string belowAFile = (aFile / "inner").string();
    struct Case {
        std::vector<std::string> arguments;
    } cases[] = {
        {{"convert", missing, (dir / "out1").string()}},
        {{"convert", aFolder.string(), (dir / "out2").string()}},
        {{"convert", text.string(), belowAFile}},
        {{"convert", text.string(), aFile.string()}},
        {{"convert", belowAFile, (dir / "out3").string()}},
        {{"stats", missing}},
        {{"stats", aFolder.string()}},
        {{"stats", belowAFile}},
        {{"firmware", "version", missing}},
        {{"firmware", "version", aFile.string()}},
        {{"firmware", "version", belowAFile}},
        {{"--port", "3", "firmware", "upgrade", missing, "--yes"}},
        {{"--port", "3", "download", belowAFile}},
        {{"--port", "3", "download", aFile.string()}},
    };
    for (const auto &c : cases) {
        std::string shown;
        for (const auto &a : c.arguments) shown += "'" + a + "' ";
        SCOPED_TRACE(shown);
        const CommandRun r = run(c.arguments);
        EXPECT_EQ(r.exitCode, 1) << said(r);
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(contains(r.err, "failed unexpectedly")) << r.err;
    }
    EXPECT_EQ(readFile(aFile), "not a folder\n");
}
