// The readout's conversion step: file names, NMEA files, mark files and the GPSBabel runs.
#include "conversion/speed_units.h"
#include "conversion/track_conversion.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace trk7700::client;
using trk7700::testing::readFile;
using trk7700::testing::TempDir;
using trk7700::testing::writeFile;

namespace {

const std::string kHeader =
    "Tag,$GPGGA,UTC(hhmmss.sss),Latitude,N/S,Longitude,E/W,Fix quality,Fix quality,Horizontal dilution of "
    "position,Altitude,Height of geoid,,Checksum\r\n"
    "Tag,$GPRMC,UTC(hhmmss.sss),A,Latitude,N/S,Longitude,E/W,Speed(knots),Course(degrees),Date(ddmmyy),,Checksum\r\n";

// Two lines of a record whose sentences name the record, so that files show which records they hold.
std::string record(const std::string &markColumn, int n)
{
    return markColumn + "$GPGGA,R" + std::to_string(n) + "*00\r\n" + markColumn + "$GPRMC,R" + std::to_string(n) +
           "*00\r\n";
}

std::string sentences(int n)
{
    return "$GPGGA,R" + std::to_string(n) + "*00\r\n$GPRMC,R" + std::to_string(n) + "*00\r\n";
}

}  // namespace

TEST(DateStampTest, HourWithoutLeadingZeroAndNoYear)
{
    std::tm t{};
    t.tm_mday = 5;
    t.tm_mon = 11;
    t.tm_hour = 9;
    t.tm_min = 7;
    t.tm_sec = 3;
    t.tm_year = 126;
    EXPECT_EQ(makeDateStamp(t), "05_12-9_07_03");
    t.tm_hour = 0;
    EXPECT_EQ(makeDateStamp(t), "05_12-0_07_03");
    t.tm_hour = 23;
    t.tm_mday = 31;
    EXPECT_EQ(makeDateStamp(t), "31_12-23_07_03");
}

TEST(ReadoutFilesTest, NamesWithAndWithoutStamp)
{
    struct Case {
        std::string folder, stamp, text, nmea, kml, plt, gpx, mark5;
    } cases[] = {
        {"/home/u/Wayfolk", "", "/home/u/Wayfolk/Wayfolk.txt", "/home/u/Wayfolk/Wayfolk.nmea",
         "/home/u/Wayfolk/Wayfolk.kml", "/home/u/Wayfolk/Wayfolk.plt", "/home/u/Wayfolk/Wayfolk.gpx",
         "/home/u/Wayfolk/wayfolk(TAG--5).nmea"},
        {"/w", "05_12-9_07_03", "/w/Wayfolk05_12-9_07_03.txt", "/w/Wayfolk05_12-9_07_03.nmea",
         "/w/Wayfolk05_12-9_07_03.kml", "/w/Wayfolk05_12-9_07_03.plt", "/w/Wayfolk05_12-9_07_03.gpx",
         "/w/wayfolk(TAG--5)05_12-9_07_03.nmea"},
        // A folder that ends in a separator is passed on as typed.
        {"/w/", "", "/w//Wayfolk.txt", "/w//Wayfolk.nmea", "/w//Wayfolk.kml", "/w//Wayfolk.plt", "/w//Wayfolk.gpx",
         "/w//wayfolk(TAG--5).nmea"},
    };
    for (const auto &c : cases) {
        const auto f = readoutFiles(c.folder, c.stamp);
        EXPECT_EQ(f.trackText, c.text);
        EXPECT_EQ(f.nmea, c.nmea);
        EXPECT_EQ(f.kml, c.kml);
        EXPECT_EQ(f.plt, c.plt);
        EXPECT_EQ(f.gpx, c.gpx);
        EXPECT_EQ(f.markFile("--5"), c.mark5);
    }
}

class ConversionTest : public ::testing::Test {
protected:
    TempDir dir;
    ReadoutFiles files = readoutFiles(dir.str(), "");
    std::string mark(const char *k) const { return readFile(files.markFile(k)); }
    bool markExists(const char *k) const { return std::filesystem::exists(files.markFile(k)); }
};

TEST_F(ConversionTest, MarkRunsGoToFilesOfTheirOwnAndARepeatedMarkStartsAnew)
{
    writeFile(files.trackText, kHeader + record("--5,", 1) + record("--5,", 2) + record("--7,", 3) + record("--5,", 4) +
                                   record("---,", 5));
    const auto outcome = convertTrackText(files, /*perMark=*/true);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.sentenceLines, 10u);
    EXPECT_EQ(outcome.markedLines, 8u);
    EXPECT_EQ(readFile(files.nmea), sentences(1) + sentences(2) + sentences(3) + sentences(4) + sentences(5));
    EXPECT_EQ(mark("--5"), sentences(4));
    EXPECT_EQ(mark("--7"), sentences(3));
    EXPECT_EQ(outcome.markFiles,
              (std::vector<std::string>{files.markFile("--5"), files.markFile("--7"), files.markFile("--5")}));
    EXPECT_FALSE(markExists("---"));
}

TEST_F(ConversionTest, WithoutPerMarkOnlyTheWholeLog)
{
    writeFile(files.trackText, kHeader + record("-42,", 1) + record("254,", 2));
    const auto outcome = convertTrackText(files, /*perMark=*/false);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(readFile(files.nmea), sentences(1) + sentences(2));
    EXPECT_TRUE(outcome.markFiles.empty());
    EXPECT_FALSE(markExists("-42"));
}

TEST_F(ConversionTest, UnmarkedLinesMakeNoMarkFile)
{
    writeFile(files.trackText, kHeader + record("---,", 1) + record("---,", 2));
    const auto outcome = convertTrackText(files, /*perMark=*/true);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.markedLines, 0u);
    EXPECT_TRUE(outcome.markFiles.empty());
    EXPECT_EQ(readFile(files.nmea), sentences(1) + sentences(2));
}

TEST_F(ConversionTest, EmptyLogGivesAnEmptyNmeaFile)
{
    writeFile(files.nmea, "an earlier readout");
    writeFile(files.trackText, kHeader);
    const auto outcome = convertTrackText(files, /*perMark=*/true);
    ASSERT_TRUE(outcome.ok());
    EXPECT_TRUE(std::filesystem::exists(files.nmea));
    EXPECT_EQ(readFile(files.nmea), "");
    EXPECT_EQ(outcome.sentenceLines, 0u);
}

TEST_F(ConversionTest, MissingTrackTextNamesTheFileAndWritesNothing)
{
    writeFile(files.nmea, "an earlier readout");
    const auto outcome = convertTrackText(files, /*perMark=*/true);
    EXPECT_EQ(outcome.failure, ConversionOutcome::Failure::trackTextMissing);
    EXPECT_EQ(outcome.failedPath, files.trackText);
    EXPECT_EQ(readFile(files.nmea), "an earlier readout");
}

TEST_F(ConversionTest, UnwritableNmeaFileIsReported)
{
    writeFile(files.trackText, kHeader + record("---,", 1));
    std::filesystem::create_directory(files.nmea);  // a folder where the file should go
    const auto outcome = convertTrackText(files, /*perMark=*/false);
    EXPECT_EQ(outcome.failure, ConversionOutcome::Failure::nmeaNotWritable);
    EXPECT_EQ(outcome.failedPath, files.nmea);
}

TEST(GpsBabelRunsTest, ArgumentListsForEachCheckedFormat)
{
    const auto files = readoutFiles("/w", "");
    ExportOptions all;
    all.kml = all.plt = all.gpx = true;
    const auto runs = gpsBabelRuns(files, all);
    ASSERT_EQ(runs.size(), 3u);
    const char *formats[] = {"kml", "ozi", "gpx"};
    const std::string outputs[] = {"/w/Wayfolk.kml", "/w/Wayfolk.plt", "/w/Wayfolk.gpx"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(runs[i].format, formats[i]);
        EXPECT_EQ(runs[i].output, outputs[i]);
        EXPECT_EQ(runs[i].arguments,
                  (std::vector<std::string>{"-p", "", "-w", "-i", "nmea", "-f", "/w/Wayfolk.nmea", "-o",
                                            gpsBabelOutputFormat(formats[i]), "-F", outputs[i]}));
    }
    EXPECT_TRUE(gpsBabelRuns(files, ExportOptions{}).empty());
    ExportOptions onlyGpx;
    onlyGpx.gpx = true;
    ASSERT_EQ(gpsBabelRuns(files, onlyGpx).size(), 1u);
    EXPECT_EQ(gpsBabelRuns(files, onlyGpx)[0].format, "gpx");
}

TEST(LauncherTest, MissingProgramIsReportedNotStarted)
{
    DetachedLauncher launcher;
    std::string error;
    EXPECT_FALSE(launcher.startDetached("trk7700-no-such-program", {}, error));
    EXPECT_NE(error.find("trk7700-no-such-program"), std::string::npos);

    std::string diagnostics;
    error.clear();
    EXPECT_EQ(runAndWait("trk7700-no-such-program", {}, error, diagnostics), -1);
    EXPECT_FALSE(error.empty());
}

TEST(LauncherTest, RunAndWaitReportsExitStatusAndDiagnostics)
{
    std::string error, diagnostics;
    EXPECT_EQ(runAndWait("sh", {"-c", "echo oops >&2; exit 3"}, error, diagnostics), 3);
    EXPECT_EQ(diagnostics, "oops\n");
    EXPECT_EQ(runAndWait("true", {}, error, diagnostics), 0);
}

TEST(SpeedUnitsTest, RoundTripsOfTheSettingsPage)
{
    struct Case {
        double knots;
        long shownKmh;
    } shown[] = {{5, 8}, {0, -1}, {20, 36}, {1, 1}};
    for (const auto &c : shown) EXPECT_EQ(knotsToShownKmh(c.knots), c.shownKmh) << c.knots << " kn";
    struct Sent {
        double kmh;
        long knots;
    } sent[] = {{8, 5}, {10, 6}, {36, 20}, {37, 21}, {0, 1}};
    for (const auto &c : sent) EXPECT_EQ(kmhToSentKnots(c.kmh), c.knots) << c.kmh << " km/h";
}

TEST_F(ConversionTest, MarkTextThatCannotNameAFileMakesNoFile)
{
    // A NUL would cut the file name short, a '/' would lead into a folder. (Found by
    // the fuzz target track_conversion: a NUL made a file "wayfolk(TAG" plus junk.)
    const std::string withNul("-\0-,", 4);
    writeFile(files.trackText,
              kHeader + record("--5,", 1) + record(withNul, 2) + record("/5/,", 3) + record("--5,", 4));
    const auto outcome = convertTrackText(files, /*perMark=*/true);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(readFile(files.nmea), sentences(1) + sentences(2) + sentences(3) + sentences(4));
    EXPECT_EQ(outcome.markFiles, (std::vector<std::string>{files.markFile("--5"), files.markFile("--5")}));
    EXPECT_EQ(mark("--5"), sentences(4));
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Wayfolk.nmea", "Wayfolk.txt", "wayfolk(TAG--5).nmea"}));
}

TEST_F(ConversionTest, PlantedLinksAndFifosUnderOutputNamesAreReplacedNotFollowed)
{
    const auto victim = dir.path().parent_path() / (dir.path().filename().string() + "-victim");
    writeFile(victim, "not yours");
    writeFile(files.trackText, kHeader + record("--5,", 1) + record("---,", 2));
    std::filesystem::create_symlink(victim, files.nmea);
    std::filesystem::create_symlink(victim, files.nmea + ".partial");
    ASSERT_EQ(::mkfifo(files.markFile("--5").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((files.markFile("--5") + ".partial").c_str(), 0644), 0);
    const auto outcome = convertTrackText(files, /*perMark=*/true);  // a FIFO followed would block here
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(readFile(victim), "not yours");
    std::filesystem::remove(victim);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(files.nmea)));
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(files.markFile("--5"))));
    EXPECT_EQ(readFile(files.nmea), sentences(1) + sentences(2));
    EXPECT_EQ(mark("--5"), sentences(1));
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
}

TEST_F(ConversionTest, TrackTextThatIsNoRegularFileIsNotRead)
{
    ASSERT_EQ(::mkfifo(files.trackText.c_str(), 0644), 0);
    const auto outcome = convertTrackText(files, /*perMark=*/false);
    EXPECT_EQ(outcome.failure, ConversionOutcome::Failure::trackTextMissing);
}

TEST_F(ConversionTest, GpsBabelOutputIsWholeOnlyWithItsEnd)
{
    const std::string plt =
        "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
        "0,2,255,x,0,0,2,8421376\r\n0\r\n";
    const std::string point = "48.116800,11.516667,0,1789.4,70941.5000116,,\r\n";
    struct Case {
        const char *name;
        const char *format;
        std::string content;
        size_t points;
        bool whole;
    } cases[] = {
        {"GPX", "gpx", "<gpx>\n  <trk><trkseg><trkpt lat=\"48.1\" lon=\"11.5\"/></trkseg></trk>\n</gpx>\n", 1, true},
        // GPSBabel drops sentences with a wrong checksum and still exits 0.
        {"GPX without the log's points", "gpx", "<gpx>\n  <trk></trk>\n</gpx>\n", 1, false},
        {"GPX of an empty log", "gpx", "<gpx>\n</gpx>\n", 0, true},
        {"GPX cut", "gpx", "<gpx>\n  <trk><trkseg><trkpt lat=", 1, false},
        {"GPX empty", "gpx", "", 0, false},
        {"KML", "kml", "<kml>\n<Document/>\n</kml>", 1, true},
        {"KML cut", "kml", "<kml>\n<Document>", 1, false},
        {"KML with a GPX end", "kml", "<kml></gpx>", 1, false},
        {"PLT", "ozi", plt + point + point, 2, true},
        {"PLT short of a point", "ozi", plt + point, 2, false},
        {"PLT with a cut last line", "ozi", plt + point + "48.11", 2, false},
        {"PLT header cut", "ozi", "OziExplorer Track", 0, false},
    };
    for (const auto &c : cases) {
        const std::string path = dir.str() + "/output";
        writeFile(path, c.content);
        EXPECT_EQ(gpsBabelOutputComplete(c.format, path, c.points), c.whole) << c.name;
    }
    EXPECT_FALSE(gpsBabelOutputComplete("gpx", dir.str() + "/missing", 0));
    ASSERT_EQ(::mkfifo((dir.str() + "/fifo").c_str(), 0644), 0);
    EXPECT_FALSE(gpsBabelOutputComplete("gpx", dir.str() + "/fifo", 0));  // and does not block
}

TEST(GpsBabelRunsTest, PartialNameKeepsTheFormatsExtensionLast)
{
    EXPECT_EQ(gpsBabelPartialName("/w/Wayfolk.plt"), "/w/Wayfolk.partial.plt");
    EXPECT_EQ(gpsBabelPartialName("/w/Wayfolk05_12-9_07_03.gpx"), "/w/Wayfolk05_12-9_07_03.partial.gpx");
    EXPECT_EQ(gpsBabelPartialName("/w.d/Wayfolk"), "/w.d/Wayfolk.partial");
}

TEST(GpsBabelRunsTest, CheckedRunGivesTheNameOnlyToAWholeFile)
{
    // The real GPSBabel on a two-point track: the GPX takes its name, no partial file stays.
    TempDir dir;
    const auto files = readoutFiles(dir.str(), "");
    writeFile(files.nmea, "$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*49\r\n"
                          "$GPRMC,120000,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*64\r\n"
                          "$GPGGA,120001,4807.048,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4F\r\n"
                          "$GPRMC,120001,A,4807.048,N,01131.000,E,022.4,084.4,230394,003.1,W*62\r\n");
    ExportOptions options;
    options.gpx = options.plt = true;
    for (const auto &run : gpsBabelRuns(files, options)) {
        pid_t started = 0;
        const auto outcome = runGpsBabelChecked(run, 2, [&](pid_t pid) { started = pid; });
        EXPECT_EQ(outcome.kind, GpsBabelOutcome::Kind::made) << run.format << " " << outcome.diagnostics;
        EXPECT_GT(started, 0);
        EXPECT_TRUE(gpsBabelOutputComplete(run.format, run.output, 2)) << run.format;
    }
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
}
