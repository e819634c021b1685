// The records as sentences: which can be a position and a time, the GPS week
// rollover with its checksum made anew, and where the tracks are cut.
#include "conversion/track_records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace trk7700::client;

namespace {

// The sentence with its real checksum after the '*'.
std::string withChecksum(const std::string &body)
{
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    return "$" + body + "*" + digits;
}

std::string gga(const std::string &time, const std::string &lat, const std::string &lon)
{
    return withChecksum("GPGGA," + time + "," + lat + ",N," + lon + ",E,1,08,00.0,123.0,M,00.0,M,,");
}

std::string rmc(const std::string &time, const std::string &lat, const std::string &lon, const std::string &date)
{
    return withChecksum("GPRMC," + time + ",A," + lat + ",N," + lon + ",E,7.00,0.00," + date + ",,");
}

int64_t dayOf(int year, int month, int day)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    return utcDay(timegm(&t));
}

}  // namespace

TEST(TrackRecordsTest, SentencesThatCannotBeAPositionAndATime)
{
    struct Case {
        const char *what;
        std::string sentence;
        bool possible;
    } cases[] = {
        {"an ordinary GGA", gga("094512.000", "2503.1234", "12134.5678"), true},
        {"an ordinary RMC", rmc("094512.000", "2503.1234", "12134.5678", "051226"), true},
        {"the poles and the 180th meridian", rmc("235959.000", "9000.0000", "18000.0000", "311299"), true},
        {"latitude beyond 90 degrees", gga("094512.000", "9500.0000", "12134.5678"), false},
        {"latitude a fraction beyond 90", gga("094512.000", "9000.0001", "12134.5678"), false},
        {"longitude beyond 180 degrees", gga("094512.000", "2503.1234", "18100.0000"), false},
        {"75 minutes of latitude", gga("094512.000", "2575.0000", "12134.5678"), false},
        {"60 minutes of longitude", rmc("094512.000", "2503.1234", "12160.0000", "051226"), false},
        {"hour 24", gga("240000.000", "2503.1234", "12134.5678"), false},
        {"minute 60", gga("096000.000", "2503.1234", "12134.5678"), false},
        {"second 60", rmc("094560.000", "2503.1234", "12134.5678", "051226"), false},
        {"month 0", rmc("094512.000", "2503.1234", "12134.5678", "050026"), false},
        {"month 13", rmc("094512.000", "2503.1234", "12134.5678", "051326"), false},
        {"day 0", rmc("094512.000", "2503.1234", "12134.5678", "001226"), false},
        {"day 32", rmc("094512.000", "2503.1234", "12134.5678", "321226"), false},
        {"a cut GGA", "$GPGGA,094512.000,2503.1", false},
        {"another sentence is not judged", withChecksum("GPGSV,1,1,00"), true},
    };
    for (const auto &c : cases) EXPECT_EQ(sentenceIsPossible(c.sentence), c.possible) << c.what << ": " << c.sentence;
}

TEST(TrackRecordsTest, RecordIsPossibleOnlyWhenBothItsSentencesAre)
{
    const std::string goodGga = gga("094512.000", "2503.1234", "12134.5678");
    const std::string goodRmc = rmc("094512.000", "2503.1234", "12134.5678", "051226");
    EXPECT_TRUE((SentenceRecord{goodGga, goodRmc}.possible()));
    EXPECT_FALSE((SentenceRecord{goodGga, rmc("094512.000", "2503.1234", "12134.5678", "051326")}.possible()));
    EXPECT_FALSE((SentenceRecord{gga("094512.000", "9503.1234", "12134.5678"), goodRmc}.possible()));
    EXPECT_EQ((SentenceRecord{goodGga, goodRmc}.utcSeconds()), dayOf(2026, 12, 5) * 86400 + 9 * 3600 + 45 * 60 + 12);

    // A GGA without its RMC (a cut text) is a record of its own.
    std::vector<SentenceRecord> records;
    RecordAssembler assembler([&](const SentenceRecord &r) { records.push_back(r); });
    for (const auto &s : {goodGga, goodGga, goodRmc, goodGga}) assembler.add(s);
    assembler.finish();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].rmc, "");
    EXPECT_EQ(records[1].rmc, goodRmc);
    EXPECT_EQ(records[2].gga, goodGga);
}

TEST(TrackRecordsTest, WeekRolloverMovesOldDatesOnWithANewChecksum)
{
    const int64_t today = dayOf(2026, 12, 11);
    // Made today by a receiver that counts from the old epoch: 1024 weeks early.
    const std::string early = rmc("094512.000", "2503.1234", "12134.5678", "270407");
    EXPECT_EQ(sentenceDay(early), today - kWeekRolloverDays);
    const std::string corrected = correctWeekRollover(early, today);
    EXPECT_EQ(corrected, rmc("094512.000", "2503.1234", "12134.5678", "111226"));
    EXPECT_EQ(correctWeekRollover(rmc("000000.000", "2503.1234", "12134.5678", "010103"), today),
              rmc("000000.000", "2503.1234", "12134.5678", "170822"));

    // A date less than 1024 weeks back, a GGA and a cut RMC stay as they are.
    const std::string recent = rmc("094512.000", "2503.1234", "12134.5678", "280407");
    EXPECT_EQ(correctWeekRollover(recent, today), recent);
    const std::string position = gga("094512.000", "2503.1234", "12134.5678");
    EXPECT_EQ(correctWeekRollover(position, today), position);
    EXPECT_EQ(correctWeekRollover("$GPRMC,0945", today), "$GPRMC,0945");

    EXPECT_TRUE(datesLookRolledOver(today - kWeekRolloverDays, today));
    EXPECT_TRUE(datesLookRolledOver(today - kWeekRolloverDays - 400, today));
    EXPECT_FALSE(datesLookRolledOver(today - kWeekRolloverDays + 1, today));
    EXPECT_FALSE(datesLookRolledOver(-1, today));  // no record with a date
}

TEST(TrackRecordsTest, TracksAreCutAtTripGapsAndLocalMidnights)
{
    const char *savedZone = std::getenv("TZ");
    const std::string saved = savedZone != nullptr ? savedZone : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    // 2026-05-01 in UTC; Berlin is two hours ahead: local midnight is 22:00 UTC.
    const int64_t may1 = dayOf(2026, 5, 1) * 86400;
    const int64_t h = 3600;
    struct Step {
        int64_t utc;
        bool trips, days, both;  // a new track with trips (30 min), with days, with both
    } steps[] = {
        {may1 + 20 * h, false, false, false},         {may1 + 20 * h + 600, false, false, false},
        {may1 + 21 * h + 50 * 60, true, false, true},  // 70 minutes later: a new trip
        {may1 + 22 * h + 5 * 60, false, true, true},   // local midnight passed within the trip
        {may1 + 23 * h, true, false, true},           {may1 + 23 * h + 60, false, false, false},
    };
    TrackCutter trips(1800, false), days(0, true), both(1800, true);
    for (const auto &s : steps) {
        EXPECT_EQ(trips.startsNewTrack(s.utc), s.trips) << s.utc - may1;
        EXPECT_EQ(days.startsNewTrack(s.utc), s.days) << s.utc - may1;
        EXPECT_EQ(both.startsNewTrack(s.utc), s.both) << s.utc - may1;
    }
    if (savedZone != nullptr)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
