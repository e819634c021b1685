// What the readout's progress is measured by, and the speed units' guard
// for entries that do not fit the byte the library takes.
#include "conversion/readout_progress.h"
#include "conversion/speed_units.h"
#include "support/temp_dir.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

using namespace trk7700::client;

TEST(ReadoutProgressTest, DurationsAndTimeLeft)
{
    EXPECT_EQ(formatDuration(0), "0:00");
    EXPECT_EQ(formatDuration(59.4), "0:59");
    EXPECT_EQ(formatDuration(347), "5:47");
    EXPECT_EQ(formatDuration(3661), "1:01:01");
    EXPECT_EQ(formatDuration(-3), "0:00");
    // A quarter of the memory in 87 s: three quarters are left at the same rate.
    EXPECT_DOUBLE_EQ(estimateSecondsLeft(kLogImageBytes / 4, kLogImageBytes, 87), 261);
    EXPECT_DOUBLE_EQ(estimateSecondsLeft(kLogImageBytes, kLogImageBytes, 347), 0);
    EXPECT_LT(estimateSecondsLeft(0, kLogImageBytes, 5), 0);        // nothing received yet
    EXPECT_LT(estimateSecondsLeft(20000, kLogImageBytes, 0.05), 0);  // too soon for a rate
}

// "DB.sr" lies where the library works: in the folder of the text file, made
// absolute against the current directory of the moment.
TEST(ReadoutProgressTest, RawLogFileBesideTheTrackText)
{
    EXPECT_EQ(rawLogFile(readoutFiles("/data/tracks", "")), "/data/tracks/DB.sr");
    EXPECT_EQ(rawLogFile(readoutFiles("/data/tracks/", "05_12-9_07_03")), "/data/tracks//DB.sr");
    EXPECT_EQ(rawLogFile(readoutFiles("", "")), "/DB.sr");

    trk7700::testing::TempDir dir;
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string relative = rawLogFile(readoutFiles("Ausgabe", ""));
    const std::string expected = (std::filesystem::current_path() / "Ausgabe/DB.sr").string();
    std::filesystem::current_path(saved);
    EXPECT_EQ(relative, expected);
}

TEST(SpeedUnitsTest, SentKnotsOnlyWhenTheyFitAByte)
{
    struct Case {
        double kmh;
        std::optional<uint8_t> knots;
    } cases[] = {{10, 6}, {36, 20}, {472, 255}, {472.1, 255}, {472.2, std::nullopt}, {500, std::nullopt},
                 {1e300, std::nullopt}, {-2, std::nullopt}, {std::nan(""), std::nullopt}};
    for (const auto &c : cases) EXPECT_EQ(kmhToSentKnotsByte(c.kmh), c.knots) << c.kmh << " km/h";
}
