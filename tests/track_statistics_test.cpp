// The figures of a track: distances on the ellipsoid and the stand-in
// sphere, trips split where GPSBabel's track filter splits the exports, the
// figures per trip of crafted tracks, and their JSON and table.
#include "conversion/track_conversion.h"
#include "stats/geodesic.h"
#include "stats/track_statistics.h"
#include "support/crafted_track.h"
#include "support/result_printing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

// The process's time zone for the length of a scope.
class InTimeZone {
public:
    explicit InTimeZone(const char *zone)
    {
        const char *old = std::getenv("TZ");
        hadZone_ = old != nullptr;
        if (hadZone_) previous_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~InTimeZone()
    {
        if (hadZone_)
            ::setenv("TZ", previous_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool hadZone_ = false;
    std::string previous_;
};

// One minute of longitude along the equator, on the WGS84 ellipsoid.
constexpr double kEquatorMinute = 111319.4908 / 60;

TEST(TrackStatistics, DistancesAgreeWithTheEllipsoid)
{
    struct Case {
        const char *what;
        double lat1, lon1, lat2, lon2, metres;
    };
    // Geodesics on WGS84; the first two are the textbook lengths of a degree.
    const Case cases[] = {
        {"a degree of latitude at the equator", 0, 0, 1, 0, 110574.3886},
        {"a degree of longitude at the equator", 0, 0, 0, 1, 111319.4908},
        {"a degree of longitude at 60 degrees north", 60, 10, 60, 11, 55799.4704},
        {"the last degree to the pole", 89, 0, 90, 0, 111693.8649},
        {"a step of a walk", 48.1, 11.5, 48.1005, 11.5005, 66.9162},
        {"Berlin to Munich", 52.3, 13.1, 48.1, 11.5, 480909.0545},
        {"Sydney to New York, across the date line", -33.9, 151.2, 40.7, -74.0, 15990627.2641},
        {"no way at all", 47.5, 8.25, 47.5, 8.25, 0},
    };
    const bool ellipsoid = std::string(client::distanceMethod()).find("GeographicLib") != std::string::npos;
    for (const auto &c : cases) {
        const double tolerance = c.metres * 0.005;
        EXPECT_NEAR(client::sphericalDistanceMetres(c.lat1, c.lon1, c.lat2, c.lon2), c.metres, tolerance) << c.what;
        EXPECT_NEAR(client::distanceMetres(c.lat1, c.lon1, c.lat2, c.lon2), c.metres, ellipsoid ? 0.001 : tolerance)
            << c.what;
    }
}

struct ExpectedTrip {
    const char *start, *end;
    size_t points;
    double distance;
    int64_t duration, moving;
    double maxSpeed;  // negative: none recorded
    size_t marks;
};

struct StatisticsCase {
    const char *what;
    std::vector<CraftedRecord> records;
    client::TrackSplitting splitting;
    const char *timeZone;
    std::vector<ExpectedTrip> trips;
};

// Along the equator a minute of longitude per minute of time: 1855 m.
const std::vector<CraftedRecord> kEquatorRide = {
    {0, 0.0 / 60, 20, 8, 0, 0, 0}, {0, 1.0 / 60, 20, 8, 1, 0, 60, 5}, {0, 2.0 / 60, 20, 8, 2, 0, 60, 5},
    {0, 3.0 / 60, 20, 8, 3, 0, 0}, {0, 4.0 / 60, 20, 8, 4, 0, 0, 7},
};
// Four records around midnight UTC, five minutes apart but for a ten-minute gap.
const std::vector<CraftedRecord> kOverMidnight = {
    {48.1, 11.5, 20, 23, 50, 0, 12},
    {48.1, 11.5 + 1.0 / 60, 20, 23, 55, 0, 12},
    {48.1, 11.5 + 2.0 / 60, 21, 0, 5, 0, 12},
    {48.1, 11.5 + 3.0 / 60, 21, 0, 10, 0, 12},
};
const double kMidnightMinute = client::distanceMetres(48.1, 11.5, 48.1, 11.5 + 1.0 / 60);

TEST(TrackStatistics, FiguresOfCraftedTracks)
{
    std::vector<CraftedRecord> standing = kEquatorRide;
    for (auto &r : standing) r.speedKnots = 0;
    const StatisticsCase cases[] = {
        {"a ride along the equator: moving from each record on that recorded 1 knot or more",
         kEquatorRide,
         {},
         "UTC",
         {{"2026-11-20T08:00:00Z", "2026-11-20T08:04:00Z", 5, 4 * kEquatorMinute, 240, 120, 60 * 1.852, 2}}},
        {"a log without speed: no moving time, no speed",
         standing,
         {},
         "UTC",
         {{"2026-11-20T08:00:00Z", "2026-11-20T08:04:00Z", 5, 4 * kEquatorMinute, 240, 0, 0, 2}}},
        {"a gap of exactly GAP stays in the trip, a longer one starts a new one",
         kEquatorRide,
         {59, false},
         "UTC",
         {{"2026-11-20T08:00:00Z", "2026-11-20T08:00:00Z", 1, 0, 0, 0, 0, 0},
          {"2026-11-20T08:01:00Z", "2026-11-20T08:01:00Z", 1, 0, 0, 0, 60 * 1.852, 1},
          {"2026-11-20T08:02:00Z", "2026-11-20T08:02:00Z", 1, 0, 0, 0, 60 * 1.852, 0},
          {"2026-11-20T08:03:00Z", "2026-11-20T08:03:00Z", 1, 0, 0, 0, 0, 0},
          {"2026-11-20T08:04:00Z", "2026-11-20T08:04:00Z", 1, 0, 0, 0, 0, 1}}},
        {"a trip over midnight, whole without splitting",
         kOverMidnight,
         {},
         "UTC",
         {{"2026-11-20T23:50:00Z", "2026-11-21T00:10:00Z", 4, 3 * kMidnightMinute, 1200, 1200, 12 * 1.852, 0}}},
        {"a trip over midnight, split at midnight UTC",
         kOverMidnight,
         {0, true},
         "UTC",
         {{"2026-11-20T23:50:00Z", "2026-11-20T23:55:00Z", 2, kMidnightMinute, 300, 300, 12 * 1.852, 0},
          {"2026-11-21T00:05:00Z", "2026-11-21T00:10:00Z", 2, kMidnightMinute, 300, 300, 12 * 1.852, 0}}},
        {"a trip over midnight UTC is one day in New York",
         kOverMidnight,
         {0, true},
         "America/New_York",
         {{"2026-11-20T23:50:00Z", "2026-11-21T00:10:00Z", 4, 3 * kMidnightMinute, 1200, 1200, 12 * 1.852, 0}}},
        {"days and gaps together split at both",
         kOverMidnight,
         {360, true},
         "Asia/Kolkata",
         {{"2026-11-20T23:50:00Z", "2026-11-20T23:55:00Z", 2, kMidnightMinute, 300, 300, 12 * 1.852, 0},
          {"2026-11-21T00:05:00Z", "2026-11-21T00:10:00Z", 2, kMidnightMinute, 300, 300, 12 * 1.852, 0}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string text = craftedTrackText(c.records, dir.path());
        ASSERT_FALSE(text.empty());
        InTimeZone zone(c.timeZone);
        client::TrackStatistics statistics;
        std::string error;
        ASSERT_TRUE(client::readoutStatistics(text, c.splitting, statistics, error)) << error;
        ASSERT_EQ(statistics.trips.size(), c.trips.size());
        size_t points = 0;
        double distance = 0;
        for (size_t i = 0; i < c.trips.size(); ++i) {
            const auto &got = statistics.trips[i];
            const auto &want = c.trips[i];
            EXPECT_EQ(client::isoUtc(got.start), want.start) << i;
            EXPECT_EQ(client::isoUtc(got.end), want.end) << i;
            EXPECT_EQ(got.points, want.points) << i;
            EXPECT_NEAR(got.distanceMetres, want.distance, 0.5) << i;
            EXPECT_EQ(got.durationSeconds, want.duration) << i;
            EXPECT_EQ(got.movingSeconds, want.moving) << i;
            ASSERT_TRUE(got.maxSpeedKmh.has_value()) << i;
            EXPECT_NEAR(*got.maxSpeedKmh, want.maxSpeed, 1e-9) << i;
            EXPECT_EQ(got.marks, want.marks) << i;
            points += want.points;
            distance += want.distance;
        }
        EXPECT_EQ(statistics.total.points, points);
        EXPECT_NEAR(statistics.total.distanceMetres, distance, 0.5);
    }
}

// Trips as the GPX export makes them from the NMEA file: the number of points
// of each track of GPSBabel's GPX output.
std::vector<size_t> gpsBabelTrips(const client::ReadoutFiles &files, const client::TrackSplitting &splitting)
{
    const auto input = client::prepareGpsBabelInput(files, splitting);
    EXPECT_TRUE(input.ok()) << input.error;
    const auto run = client::exportRun(input.tracks.empty() ? std::vector<std::string>{input.whole} : input.tracks, "",
                                       "gpx", files.gpx);
    std::string error, diagnostics;
    EXPECT_EQ(client::runAndWait(client::kGpsBabelProgram, run.arguments, error, diagnostics), 0)
        << error << diagnostics;
    client::removeGpsBabelInput(input);
    const std::string gpx = readFile(files.gpx);
    std::vector<size_t> trips;
    // The points between one <trk> and the next.
    for (size_t at = gpx.find("<trk>"); at != std::string::npos;) {
        const size_t next = gpx.find("<trk>", at + 1);
        const std::string track = gpx.substr(at, next == std::string::npos ? std::string::npos : next - at);
        size_t points = 0;
        for (size_t p = track.find("<trkpt "); p != std::string::npos; p = track.find("<trkpt ", p + 1)) ++points;
        trips.push_back(points);
        at = next;
    }
    return trips;
}

TEST(TrackStatistics, TripsAreTheTracksGpsBabelMakes)
{
    std::vector<CraftedRecord> walk;
    // Gaps of 30 minutes exactly, 30 minutes and a second, and a night between two days.
    const int times[][4] = {{20, 8, 0, 0},  {20, 8, 0, 10},   {20, 8, 30, 10}, {20, 8, 30, 11},
                            {20, 9, 0, 12}, {20, 23, 59, 50}, {21, 0, 0, 5},   {21, 0, 30, 0},
                            {21, 1, 0, 1},  {22, 4, 0, 0},    {22, 4, 0, 1}};
    for (size_t i = 0; i < std::size(times); ++i)
        walk.push_back(
            {48.1 + static_cast<double>(i) / 600, 11.5, times[i][0], times[i][1], times[i][2], times[i][3], 3});
    struct Case {
        const char *what;
        client::TrackSplitting splitting;
        const char *timeZone;
    };
    const Case cases[] = {
        {"days and gaps together", {1800, true}, "Asia/Tokyo"},
        {"no split", {}, "UTC"},
        {"gaps of more than 30 minutes", {1800, false}, "UTC"},
        {"gaps of more than 2 hours", {7200, false}, "UTC"},
        {"days in UTC", {0, true}, "UTC"},
        {"days in New York", {0, true}, "America/New_York"},
        {"days in Tokyo", {0, true}, "Asia/Tokyo"},
    };
    TempDir dir;
    ASSERT_FALSE(craftedTrackText(walk, dir.path()).empty());
    const auto files = client::readoutFiles(dir.str(), "");
    ASSERT_TRUE(client::convertTrackText(files, false).ok());
    std::string error;
    const auto records = client::readTrackRecords(files.trackText, error).records;
    ASSERT_EQ(records.size(), walk.size());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        InTimeZone zone(c.timeZone);  // GPSBabel, started from here, inherits it
        const auto starts = client::tripStarts(records, c.splitting);
        std::vector<size_t> sizes;
        for (size_t t = 0; t < starts.size(); ++t)
            sizes.push_back((t + 1 < starts.size() ? starts[t + 1] : records.size()) - starts[t]);
        EXPECT_EQ(sizes, gpsBabelTrips(files, c.splitting));
    }
}

TEST(TrackStatistics, ReadingTheTextSkipsWhatIsNoRecord)
{
    TempDir dir;
    const std::string text = (dir / "Wayfolk.txt").string();
    writeFile(text, std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine +
                        "--3,$GPGGA,094512.000,2503.1234,N,12134.5678,E,1,08,00.0,123.0,M,00.0,M,,*66\r\n"
                        "--3,$GPRMC,094512.000,A,2503.1234,N,12134.5678,E,,0.00,051226,,*04\r\n"
                        "---,$GPRMC,094513.000,A,9503.1234,N,12134.5678,E,7.00,0.00,051226,,*04\r\n"
                        "---,$GPRMC,0945\r\n"
                        "garbage\r\n"
                        "---,$GPRMC,094514.000,A,2503.1234,S,12134.5678,W,7.00,0.00,051226,,*04");
    std::string error;
    const auto read = client::readTrackRecords(text, error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.unreadableLines, 3u);  // beyond the pole, cut short, garbage
    EXPECT_FALSE(read.records[0].speedKnots.has_value());
    EXPECT_EQ(read.records[0].mark, "--3");
    EXPECT_NEAR(read.records[0].latitude, 25 + 3.1234 / 60, 1e-9);
    EXPECT_NEAR(read.records[1].longitude, -(121 + 34.5678 / 60), 1e-9);
    EXPECT_EQ(client::isoUtc(read.records[1].utcSeconds), "2026-12-05T09:45:14Z");

    client::TrackStatistics none;
    EXPECT_FALSE(client::readoutStatistics((dir / "missing.txt").string(), {}, none, error));
    EXPECT_NE(error.find("missing.txt"), std::string::npos);
}

TEST(TrackStatistics, JsonAndTableShowTheFigures)
{
    client::TrackStatistics statistics;
    client::TripStatistics a;
    a.start = 1795161600;  // 2026-11-20T08:00:00Z
    a.end = a.start + 995;
    a.points = 200;
    a.distanceMetres = 1234.54;
    a.durationSeconds = 995;
    a.movingSeconds = 990;
    a.maxSpeedKmh = 37.04;
    a.marks = 1;
    client::TripStatistics b = a;
    b.start = a.end + 7200;
    b.end = b.start + 60;
    b.points = 2;
    b.distanceMetres = 0;
    b.durationSeconds = 60;
    b.movingSeconds = 0;
    b.maxSpeedKmh.reset();
    b.marks = 0;
    statistics.trips = {a, b};
    statistics.total.points = 202;
    statistics.total.distanceMetres = 1234.54;
    statistics.total.durationSeconds = 1055;
    statistics.total.movingSeconds = 990;
    statistics.total.maxSpeedKmh = 37.04;
    statistics.total.marks = 1;
    statistics.total.start = a.start;
    statistics.total.end = b.end;
    EXPECT_EQ(client::statisticsJson(statistics),
              "{\"trips\": [{\"start\": \"2026-11-20T08:00:00Z\", \"end\": \"2026-11-20T08:16:35Z\", \"points\": 200, "
              "\"distance_m\": 1234.5, \"duration_s\": 995, \"moving_s\": 990, \"max_speed_kmh\": 37.0, \"marks\": 1}, "
              "{\"start\": \"2026-11-20T10:16:35Z\", \"end\": \"2026-11-20T10:17:35Z\", \"points\": 2, "
              "\"distance_m\": 0.0, \"duration_s\": 60, \"moving_s\": 0, \"max_speed_kmh\": null, \"marks\": 0}], "
              "\"total\": {\"trips\": 2, \"points\": 202, \"distance_m\": 1234.5, \"duration_s\": 1055}}");
    EXPECT_EQ(client::statisticsJson({}), "{\"trips\": [], \"total\": {\"trips\": 0, \"points\": 0, "
                                          "\"distance_m\": 0.0, \"duration_s\": 0}}");
    EXPECT_EQ(
        client::statisticsTable(statistics),
        "  Trip   Start (UTC)          End (UTC)            Points  Distance  Duration   Moving  Top speed  "
        "Marks\n"
        "  1      2026-11-20 08:00:00  2026-11-20 08:16:35     200   1.23 km   0:16:35  0:16:30  37.0 km/h      1\n"
        "  2      2026-11-20 10:16:35  2026-11-20 10:17:35       2   0.00 km   0:01:00  0:00:00          -      0\n"
        "  Total  2026-11-20 08:00:00  2026-11-20 10:17:35     202   1.23 km   0:17:35  0:16:30  37.0 km/h      1\n");
    EXPECT_EQ(client::statisticsSummary(statistics), "2 Fahrten, 202 Punkte, 1,2 km");
}

}  // namespace
