// What the readout's progress is measured by, the watcher that both front
// ends ask where a download stands, and the speed units' guard
// for entries that do not fit the byte the library takes.
#include "conversion/readout_progress.h"
#include "conversion/speed_units.h"
#include "support/temp_dir.h"

#include <cmath>
#include <filesystem>
#include <fstream>
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
    EXPECT_LT(estimateSecondsLeft(0, kLogImageBytes, 5), 0);         // nothing received yet
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

// One look at a download that has just begun watching: what the raw file's
// size says at a given time.
TEST(DownloadWatcherTest, OneLookAtTheRawFile)
{
    constexpr uint64_t kQuarter = kLogImageBytes / 4;
    struct Case {
        const char *what;
        double elapsed;
        std::optional<uint64_t> size;
        DownloadPhase phase;
        uint64_t bytes;
        int percent;
        double secondsLeft;  // negative: nothing can be said yet
        double bytesPerSecond;
    } cases[] = {
        {"no file yet", 5, std::nullopt, DownloadPhase::waitingForLogger, 0, 0, -1, 0},
        {"an empty file", 5, 0, DownloadPhase::receiving, 0, 0, -1, 0},
        {"too soon for a rate", 0.05, 20000, DownloadPhase::receiving, 20000, 0, -1, 0},
        {"a quarter in 87 s", 87, kQuarter, DownloadPhase::receiving, kQuarter, 25, 261, kQuarter / 87.0},
        {"one byte short", 347, kLogImageBytes - 1, DownloadPhase::receiving, kLogImageBytes - 1, 99,
         347.0 / (kLogImageBytes - 1), (kLogImageBytes - 1) / 347.0},
        {"full: ordering", 347, kLogImageBytes, DownloadPhase::ordering, kLogImageBytes, 100, 0,
         kLogImageBytes / 347.0},
        {"longer than the memory", 347, kLogImageBytes + 16, DownloadPhase::ordering, kLogImageBytes, 100, 0,
         kLogImageBytes / 347.0},
    };
    for (const auto &c : cases) {
        DownloadWatcher watcher(readoutFiles("/data/tracks", ""));
        const DownloadProgress seen = watcher.see(c.elapsed, c.size);
        EXPECT_EQ(seen.phase, c.phase) << c.what;
        EXPECT_EQ(seen.bytes, c.bytes) << c.what;
        EXPECT_EQ(seen.percent, c.percent) << c.what;
        EXPECT_DOUBLE_EQ(seen.elapsedSeconds, c.elapsed) << c.what;
        if (c.secondsLeft < 0)
            EXPECT_LT(seen.secondsLeft, 0) << c.what;
        else
            EXPECT_NEAR(seen.secondsLeft, c.secondsLeft, 1e-9) << c.what;
        EXPECT_NEAR(seen.bytesPerSecond, c.bytesPerSecond, 1e-6) << c.what;
    }
}

// A whole download on one watcher: the file that disappears after it was
// seen means the text is being written, not that the logger is still awaited.
TEST(DownloadWatcherTest, PhasesOfOneDownloadInTurn)
{
    struct Step {
        double elapsed;
        std::optional<uint64_t> size;
        DownloadPhase phase;
        int percent;
    } steps[] = {
        {0.0, std::nullopt, DownloadPhase::waitingForLogger, 0},
        {1.2, std::nullopt, DownloadPhase::waitingForLogger, 0},
        {1.5, 0, DownloadPhase::receiving, 0},
        {120, kLogImageBytes / 3, DownloadPhase::receiving, 33},
        {347, kLogImageBytes, DownloadPhase::ordering, 100},
        {349, std::nullopt, DownloadPhase::writingText, 100},
        {352, std::nullopt, DownloadPhase::writingText, 100},
    };
    DownloadWatcher watcher(readoutFiles("/data/tracks", ""));
    for (const auto &s : steps) {
        const DownloadProgress seen = watcher.see(s.elapsed, s.size);
        EXPECT_EQ(seen.phase, s.phase) << "at " << s.elapsed << " s";
        EXPECT_EQ(seen.percent, s.percent) << "at " << s.elapsed << " s";
    }
}

// The watcher measures "DB.sr" in the folder as it was named when the
// download began, even after the current directory has moved (the library
// moves it while it works).
TEST(DownloadWatcherTest, LooksAtTheRawFileWhereverTheCurrentDirectoryGoes)
{
    trk7700::testing::TempDir dir;
    std::filesystem::create_directory(dir / "Ausgabe");
    std::optional<DownloadWatcher> watcher;
    {
        trk7700::testing::ScopedCurrentDirectory inDir(dir.path());
        watcher.emplace(readoutFiles("Ausgabe", ""));
    }
    trk7700::testing::ScopedCurrentDirectory elsewhere(dir / "Ausgabe");
    EXPECT_EQ(watcher->look(0.5).phase, DownloadPhase::waitingForLogger);
    std::ofstream(dir / "Ausgabe" / "DB.sr", std::ios::binary) << std::string(4096, '\0');
    const DownloadProgress seen = watcher->look(2);
    EXPECT_EQ(seen.phase, DownloadPhase::receiving);
    EXPECT_EQ(seen.bytes, 4096u);
    std::filesystem::remove(dir / "Ausgabe" / "DB.sr");
    EXPECT_EQ(watcher->look(3).phase, DownloadPhase::writingText);
}

TEST(SpeedUnitsTest, SentKnotsOnlyWhenTheyFitAByte)
{
    struct Case {
        double kmh;
        std::optional<uint8_t> knots;
    } cases[] = {{10, 6},
                 {36, 20},
                 {472, 255},
                 {472.1, 255},
                 {472.2, std::nullopt},
                 {500, std::nullopt},
                 {1e300, std::nullopt},
                 {-2, std::nullopt},
                 {std::nan(""), std::nullopt}};
    for (const auto &c : cases) EXPECT_EQ(kmhToSentKnotsByte(c.kmh), c.knots) << c.kmh << " km/h";
}
