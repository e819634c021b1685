// trk7700 stats and the figures after convert: the JSON object for scripts,
// the table for people, the map page beside the files, and sources that are
// no track.
#include "support/command_line.h"
#include "support/crafted_track.h"
#include "support/result_printing.h"

#include <gtest/gtest.h>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

// Two trips an hour apart, one of them with a run of mark 5.
const std::vector<CraftedRecord> kTwoTrips = {
    {0, 0.0 / 60, 20, 8, 0, 0, 20}, {0, 1.0 / 60, 20, 8, 1, 0, 20, 5}, {0, 2.0 / 60, 20, 8, 2, 0, 0},
    {0, 5.0 / 60, 20, 9, 2, 1, 0},  {0, 6.0 / 60, 20, 9, 3, 1, 0},
};

TEST(CliStats, JsonForScriptsAndATableForPeople)
{
    TempDir dir;
    const std::string text = craftedTrackText(kTwoTrips, dir.path());
    ASSERT_FALSE(text.empty());
    const auto json = runCommand(dir.path(), {"stats", text, "--trips", "30m", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    // Distances: minutes of longitude along the equator, 1855.3 m each.
    EXPECT_EQ(json.out,
              "{\"trips\": [{\"start\": \"2026-11-20T08:00:00Z\", \"end\": \"2026-11-20T08:02:00Z\", \"points\": 3, "
              "\"distance_m\": 3710.6, \"duration_s\": 120, \"moving_s\": 120, \"max_speed_kmh\": 37.0, \"marks\": 1}, "
              "{\"start\": \"2026-11-20T09:02:01Z\", \"end\": \"2026-11-20T09:03:01Z\", \"points\": 2, "
              "\"distance_m\": 1855.3, \"duration_s\": 60, \"moving_s\": 0, \"max_speed_kmh\": 0.0, \"marks\": 0}], "
              "\"total\": {\"trips\": 2, \"points\": 5, \"distance_m\": 5566.0, \"duration_s\": 180}}\n");

    const auto table = runCommand(dir.path(), {"stats", text});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("5 records in 1 trip "), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("  Total  2026-11-20 08:00:00  2026-11-20 09:03:01       5  11.13 km"), std::string::npos)
        << table.out;
}

TEST(CliStats, ConvertPrintsTheTableAndWritesTheMapPage)
{
    TempDir dir;
    const std::string text = craftedTrackText(kTwoTrips, dir.path());
    const auto run = runCommand(dir.path(), {"convert", text, (dir / "out").string(), "--map", "--trips", "30m"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Wayfolk.html"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  2      2026-11-20 09:02:01  2026-11-20 09:03:01       2   1.86 km"), std::string::npos)
        << run.out;
    const std::string page = readFile(dir / "out" / "Wayfolk.html");
    EXPECT_NE(page.find("const trips = ["), std::string::npos);
    EXPECT_EQ(filesIn(dir / "out"), (std::vector<std::string>{"Wayfolk.html", "Wayfolk.nmea", "Wayfolk.txt"}));
}

TEST(CliStats, WhatIsNoTrackIsNamed)
{
    TempDir dir;
    struct Case {
        const char *what;
        std::vector<std::string> arguments;
        int exitCode;
        const char *told;
    };
    const Case cases[] = {
        {"a source that is neither file nor history entry", {"stats", "no-such-file"}, 1, "neither a file nor"},
        {"a time zone that does not exist", {"stats", "x", "--days", "--tz", "Mars/Olympus"}, 2, "no time zone"},
        {"a gap that is no duration", {"stats", "x", "--trips", "soon"}, 2, "no duration"},
    };
    for (const auto &c : cases) {
        const auto run = runCommand(dir.path(), c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << "\n" << run.err;
        EXPECT_NE(run.err.find(c.told), std::string::npos) << c.what << "\n" << run.err;
    }
    // An empty track: no trips, said as such; converted, it leaves an earlier map page alone.
    writeFile(dir / "Wayfolk.txt", std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine);
    const auto empty = runCommand(dir.path(), {"stats", (dir / "Wayfolk.txt").string(), "--json"});
    EXPECT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_EQ(empty.out, "{\"trips\": [], \"total\": {\"trips\": 0, \"points\": 0, \"distance_m\": 0.0, "
                         "\"duration_s\": 0}}\n");
    std::filesystem::create_directory(dir / "maps");
    writeFile(dir / "maps" / "Wayfolk.html", "the earlier page");
    const auto converted =
        runCommand(dir.path(), {"convert", (dir / "Wayfolk.txt").string(), (dir / "maps").string(), "--map"});
    EXPECT_EQ(converted.exitCode, 0) << converted.err;
    EXPECT_NE(converted.out.find("no map page was made"), std::string::npos) << converted.out;
    EXPECT_EQ(readFile(dir / "maps" / "Wayfolk.html"), "the earlier page");
}

}  // namespace
