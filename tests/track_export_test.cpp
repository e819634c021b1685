// The command line's exports: trips split at gaps and days at local midnight
// into one GPSBabel input per track, impossible records left out of it, and
// every run of marked records as a waypoint "Mark N" in the same file. Checked
// against the generated log's own points.
#include "conversion/track_export.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "sim/track_generator.h"
#include "support/log_files.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <regex>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

// The track text the library makes of a log image, and the points oldest first.
std::string trackTextOf(const sim::GeneratedLog &log, const std::filesystem::path &folder)
{
    writeFile(folder / "DB.sr", std::string(log.image.begin(), log.image.end()));
    InDirectory in(folder);
    EXPECT_EQ(log::SortLogImage(), 1);
    EXPECT_EQ(log::exportTrackTextTo("Wayfolk.txt"), 1);
    return (folder / "Wayfolk.txt").string();
}

size_t count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(TrackExport, DurationsAreReadWithTheirUnits)
{
    const std::pair<const char *, long> cases[] = {
        {"90s", 90}, {"30m", 1800}, {"30", 1800}, {"2h", 7200}, {"1d", 86400}, {"45min", 2700},
        {"0m", -1},  {"-5m", -1},   {"m", -1},    {"2x", -1},   {"", -1},      {"99999999d", -1},
    };
    for (const auto &[text, seconds] : cases) EXPECT_EQ(client::parseDuration(text), seconds) << text;
}

TEST(TrackExport, EveryRunOfMarksBecomesOneWaypoint)
{
    TempDir dir;
    const auto log = sim::generateLog(sim::LogShape::marks, 3);
    const std::string text = trackTextOf(log, dir.path());
    std::string error;
    const auto waypoints = client::markWaypoints(text, error);
    ASSERT_TRUE(error.empty()) << error;

    // The runs as the generator made them: where the tag changes to a mark.
    std::vector<const sim::TrackPoint *> firsts;
    int previous = 0xFF;
    for (const auto &p : log.points) {
        if (p.tag != previous && p.tag != 0xFF) firsts.push_back(&p);
        previous = p.tag;
    }
    ASSERT_EQ(waypoints.size(), firsts.size());
    ASSERT_GT(waypoints.size(), 10u);
    for (size_t i = 0; i < waypoints.size(); ++i) {
        EXPECT_EQ(waypoints[i].name, "Mark " + std::to_string(firsts[i]->tag)) << i;
        EXPECT_NEAR(waypoints[i].latitude, firsts[i]->latitude, 1e-4) << i;
        EXPECT_NEAR(waypoints[i].longitude, firsts[i]->longitude, 1e-4) << i;
        char expected[32];
        const std::time_t t = static_cast<std::time_t>(firsts[i]->utcSeconds);
        std::strftime(expected, sizeof expected, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
        EXPECT_EQ(waypoints[i].time, expected) << i;
    }
}

TEST(TrackExport, GpsBabelSplitsTripsAndKeepsTheWaypoints)
{
    TempDir dir;
    const auto log = sim::generateLog(sim::LogShape::drive, 7);
    const std::string text = trackTextOf(log, dir.path());
    const auto files = client::readoutFiles(dir.str(), "");
    ASSERT_TRUE(client::convertTrackText(files, false).ok());
    std::string error;
    const auto waypoints = client::markWaypoints(text, error);
    ASSERT_FALSE(waypoints.empty());
    const std::string marks = (dir / "marks.gpx").string();
    ASSERT_TRUE(client::writeWaypointsGpx(waypoints, marks, error)) << error;

    // Trips as the points say: a gap of more than 30 minutes starts a new one.
    const long gap = 1800;
    size_t trips = 1;
    for (size_t i = 1; i < log.points.size(); ++i)
        if (log.points[i].utcSeconds - log.points[i - 1].utcSeconds > gap) ++trips;
    ASSERT_GT(trips, 1u);

    const auto input = client::prepareGpsBabelInput(files, client::TrackSplitting{gap, false});
    ASSERT_TRUE(input.ok()) << input.error;
    EXPECT_EQ(input.tracks.size(), trips);
    EXPECT_EQ(input.leftOut, 0u);
    EXPECT_EQ(input.whole, files.nmea);  // nothing left out: no copy
    const auto run = client::exportRun(input.tracks, marks, "gpx", files.gpx);
    std::string diagnostics;
    ASSERT_EQ(client::runAndWait(client::kGpsBabelProgram, run.arguments, error, diagnostics), 0) << diagnostics;
    const std::string gpx = readFile(files.gpx);
    EXPECT_EQ(count(gpx, "<trk>"), trips);
    EXPECT_EQ(count(gpx, "<trkpt "), log.points.size());
    EXPECT_EQ(count(gpx, "<wpt "), waypoints.size());
    EXPECT_EQ(count(gpx, "<name>Mark "), waypoints.size());
    client::removeGpsBabelInput(input);
    for (const auto &track : input.tracks) EXPECT_FALSE(std::filesystem::exists(track));

    // Without splitting, one track; KML carries the waypoints as placemarks
    // and the track as one timed line, without a placemark per point.
    const auto whole = client::exportRun({files.nmea}, marks, "kml", files.kml);
    ASSERT_EQ(client::runAndWait(client::kGpsBabelProgram, whole.arguments, error, diagnostics), 0) << diagnostics;
    const std::string kml = readFile(files.kml);
    EXPECT_EQ(count(kml, "<name>" + waypoints.front().name + "</name>") >= 1, true);
    EXPECT_EQ(count(kml, "<Placemark"), waypoints.size() + 1);
    EXPECT_EQ(count(kml, "<gx:Track"), 1u);
    EXPECT_EQ(count(kml, "<gx:coord>"), log.points.size());
}

// The command line's runs: the window's argument list with tracks, the
// waypoints and the splitting added, except for PLT, which holds one track.
TEST(TrackExport, RunsForTheCheckedFormats)
{
    using Arguments = std::vector<std::string>;
    const auto files = client::readoutFiles("/w", "");
    client::GpsBabelInput tracks;
    tracks.whole = "/w/.Wayfolk.gpsbabel.nmea";
    tracks.tracks = {"/w/.Wayfolk.track-1.nmea", "/w/.Wayfolk.track-2.nmea"};
    client::GpsBabelInput whole;
    whole.whole = "/w/Wayfolk.nmea";
    client::ExportOptions all;
    all.kml = all.plt = all.gpx = true;
    client::ExportOptions onlyPlt;
    onlyPlt.plt = true;
    const std::string kml = client::gpsBabelOutputFormat("kml");
    struct Case {
        const char *what;
        client::ExportOptions options;
        std::string marks;
        client::GpsBabelInput input;
        std::vector<Arguments> runs;
    } cases[] = {
        {"all, marks and trips",
         all,
         "/w/.marks.gpx",
         tracks,
         {{"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/.Wayfolk.track-1.nmea", "-f", "/w/.Wayfolk.track-2.nmea", "-i",
           "gpx", "-f", "/w/.marks.gpx", "-o", kml, "-F", "/w/Wayfolk.kml"},
          {"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/.Wayfolk.gpsbabel.nmea", "-o", "ozi", "-F", "/w/Wayfolk.plt"},
          {"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/.Wayfolk.track-1.nmea", "-f", "/w/.Wayfolk.track-2.nmea", "-i",
           "gpx", "-f", "/w/.marks.gpx", "-o", "gpx", "-F", "/w/Wayfolk.gpx"}}},
        {"all, nothing beyond the track",
         all,
         "",
         whole,
         {{"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/Wayfolk.nmea", "-o", kml, "-F", "/w/Wayfolk.kml"},
          {"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/Wayfolk.nmea", "-o", "ozi", "-F", "/w/Wayfolk.plt"},
          {"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/Wayfolk.nmea", "-o", "gpx", "-F", "/w/Wayfolk.gpx"}}},
        {"PLT alone stays one track",
         onlyPlt,
         "/w/.marks.gpx",
         tracks,
         {{"-p", "", "-w", "-t", "-i", "nmea", "-f", "/w/.Wayfolk.gpsbabel.nmea", "-o", "ozi", "-F",
           "/w/Wayfolk.plt"}}},
        {"nothing checked", {}, "/w/.marks.gpx", tracks, {}},
    };
    for (const auto &c : cases) {
        const auto runs = client::exportRuns(files, c.options, c.marks, c.input);
        ASSERT_EQ(runs.size(), c.runs.size()) << c.what;
        for (size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].arguments, c.runs[i]) << c.what << ", run " << i;
            // The output ends the list, where the checked run puts its partial name.
            EXPECT_EQ(runs[i].output, c.runs[i].back()) << c.what << ", run " << i;
        }
    }
}

}  // namespace
