// The rules of the settings fields that the window's page and the command
// line's options share: field texts to numbers, the page to the store's
// arguments and back, and a change of some settings on top of those read.
#include "conversion/settings_fields.h"
#include "conversion/speed_units.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace trk7700::client;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr uint32_t kNotSet = 0xFFFFFFFF;  // -1 read back, passed on unchanged

TEST(SettingsFieldsTest, LeadingNumberOfAFieldText)
{
    struct Case {
        std::string text;
        double number;
    } cases[] = {
        {"5", 5},
        {"  2.5 s", 2.5},
        {"\t7", 7},
        {"+3", 3},
        {"-40000", -40000},
        {".5", 0.5},
        {"5.", 5},
        {"5.e1", 50},
        {"2.5e-1x", 0.25},
        {"1e3", 1000},
        {"1e", 1},
        {"1e+", 1},
        {"5,5", 5},  // the decimal point only, whatever the language
        {"0x10", 0},
        {".", 0},
        {"-", 0},
        {"abc", 0},
        {"", 0},
        {"   ", 0},
        {"\xc2\xa0"
         "7",
         0},  // a no-break space is no blank
        {"1e300", 1e300},
        {"1e999", kInfinity},
        {"-1e999", -kInfinity},
        {"1" + std::string(400, '0'), kInfinity},
        {"0.000000001e999", kInfinity},
        {"1e-999", 0},
        {"0." + std::string(400, '0') + "1", 0},
        {"1e99999999999999999999999", kInfinity},
    };
    for (const auto &c : cases) EXPECT_EQ(leadingNumber(c.text), c.number) << '"' << c.text << '"';
}

TEST(SettingsFieldsTest, RoundedTo16BitsHalvesToEven)
{
    struct Case {
        double value;
        std::optional<int16_t> rounded;
    } cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {0.49, 0},
        {32767.4, 32767},
        {32767.5, std::nullopt},
        {-32768.5, -32768},
        {-32768.6, std::nullopt},
        {40000, std::nullopt},
        {kInfinity, std::nullopt},
        {-kInfinity, std::nullopt},
        {std::nan(""), std::nullopt},
    };
    for (const auto &c : cases) EXPECT_EQ(roundedTo16Bits(c.value), c.rounded) << c.value;
}

TEST(SettingsFieldsTest, MinimumSpeedSentForKmh)
{
    struct Case {
        double kmh;
        std::optional<uint8_t> knots;
    } cases[] = {{0, 0},
                 {-3, 0},
                 {0.1, 1},
                 {8, 5},
                 {10, 6},
                 {36, 20},
                 {37, 21},
                 {472, 255},
                 {472.2, std::nullopt},
                 {kInfinity, std::nullopt},
                 {std::nan(""), std::nullopt}};
    for (const auto &c : cases) EXPECT_EQ(minSpeedKnotsFor(c.kmh), c.knots) << c.kmh << " km/h";
}

// The ranges the command line checks are the logger's: the fastest minimum
// speed is the most knots it takes, one more is refused by the library.
TEST(SettingsFieldsTest, SpeedRangeEndsAtTheLoggersMost)
{
    EXPECT_EQ(minSpeedKnotsFor(static_cast<double>(kMinSpeedKmh.most)), 20);
    EXPECT_EQ(minSpeedKnotsFor(static_cast<double>(kMinSpeedKmh.most + 1)), 21);
    EXPECT_EQ(kMinSpeedKmh.fewest, 0u);
    EXPECT_EQ(kTimeIntervalSeconds.most, 3600u);
    EXPECT_EQ(kDistanceIntervalMetres.most, 3000u);
}

TEST(SettingsFieldsTest, PageAfterAReadBack)
{
    struct Case {
        const char *what;
        SettingsRead read;
        bool byTime;
        std::optional<std::string> timeText, distanceText;
        std::string minSpeedText, knotsRead;
        bool vibration, tag;
    } cases[] = {
        {"time mode, 5 knots show as 8 km/h", {60, -1, 2, 1, 5}, true, "60", std::nullopt, "8", "5", true, true},
        // The seconds' field keeps its text in distance mode.
        {"distance mode", {-1, 100, 0, 0, 0}, false, std::nullopt, "100", "0", "", false, false},
        {"tag 2 is off, vibration 1 is on", {-1, 50, 1, 2, 20}, false, std::nullopt, "50", "36", "20", true, false},
        {"1 knot shows as 1 km/h", {5, -1, 0, 1, 1}, true, "5", std::nullopt, "1", "1", false, true},
        {"both intervals read back", {5, 100, 0, 0, 0}, true, "5", "100", "0", "", false, false},
    };
    for (const auto &c : cases) {
        const SettingsPageShown shown = settingsPageFor(c.read);
        EXPECT_EQ(shown.byTime, c.byTime) << c.what;
        EXPECT_EQ(shown.timeText, c.timeText) << c.what;
        EXPECT_EQ(shown.distanceText, c.distanceText) << c.what;
        EXPECT_EQ(shown.minSpeedText, c.minSpeedText) << c.what;
        EXPECT_EQ(shown.minSpeedKnotsRead, c.knotsRead) << c.what;
        EXPECT_EQ(shown.vibration, c.vibration) << c.what;
        EXPECT_EQ(shown.tag, c.tag) << c.what;
    }
}

TEST(SettingsFieldsTest, PageToTheStoresArguments)
{
    using Refused = PageStore::Refused;
    struct Case {
        const char *what;
        SettingsPage page;
        Refused refused;
        SettingsToStore sent;  // when not refused
    } cases[] = {
        {"untouched speed goes back as read",
         {true, false, "5", "50", "8", "5", true, true},
         Refused::none,
         {5, 0, 2, 1, 5}},
        {"10 km/h typed: 6 knots", {true, false, "5", "50", "10", "", false, false}, Refused::none, {5, 0, 0, 0, 6}},
        {"0 km/h sends none, whatever was read",
         {true, false, "5", "50", "0", "5", false, false},
         Refused::none,
         {5, 0, 0, 0, 0}},
        {"a negative speed sends none",
         {true, false, "5", "50", "-8", "", false, false},
         Refused::none,
         {5, 0, 0, 0, 0}},
        {"distance mode", {false, true, "40000", "120", "0", "", false, true}, Refused::none, {0, 120, 0, 1, 0}},
        {"neither option: both intervals 0",
         {false, false, "5", "50", "0", "", false, false},
         Refused::none,
         {0, 0, 0, 0, 0}},
        {"leading number, halves to even",
         {true, false, "2.5 s", "50", "0", "", false, false},
         Refused::none,
         {2, 0, 0, 0, 0}},
        {"negative seconds are sign-extended",
         {true, false, "-5", "50", "0", "", false, false},
         Refused::none,
         {kNotSet - 4, 0, 0, 0, 0}},
        {"no number: 0 s", {true, false, "bald", "50", "0", "", false, false}, Refused::none, {0, 0, 0, 0, 0}},
        {"4000 s go to the logger, which refuses them",
         {true, false, "4000", "50", "0", "", false, false},
         Refused::none,
         {4000, 0, 0, 0, 0}},
        {"read knots rounded", {true, false, "5", "50", "8", "5.4", false, false}, Refused::none, {5, 0, 0, 0, 5}},
        {"seconds beyond 16 bits", {true, false, "40000", "50", "0", "", false, false}, Refused::timeInterval, {}},
        {"seconds far beyond", {true, false, "1e300", "50", "0", "", false, false}, Refused::timeInterval, {}},
        {"metres below 16 bits", {false, true, "5", "-40000", "0", "", false, false}, Refused::distanceInterval, {}},
        {"km/h beyond a byte of knots", {true, false, "5", "50", "500", "", false, false}, Refused::minSpeedKmh, {}},
        {"km/h far beyond", {true, false, "5", "50", "9e99", "", false, false}, Refused::minSpeedKmh, {}},
        {"knots read beyond a byte",
         {true, false, "5", "50", "8", "300", false, false},
         Refused::minSpeedKnotsRead,
         {}},
        {"the seconds are refused before the speed",
         {true, false, "1e9", "50", "500", "", false, false},
         Refused::timeInterval,
         {}},
    };
    for (const auto &c : cases) {
        const PageStore store = settingsToStore(c.page);
        EXPECT_EQ(store.refused, c.refused) << c.what;
        if (c.refused != Refused::none) continue;
        EXPECT_EQ(store.settings.timeInterval, c.sent.timeInterval) << c.what;
        EXPECT_EQ(store.settings.distanceInterval, c.sent.distanceInterval) << c.what;
        EXPECT_EQ(store.settings.vibration, c.sent.vibration) << c.what;
        EXPECT_EQ(store.settings.tag, c.sent.tag) << c.what;
        EXPECT_EQ(store.settings.minSpeedKnots, c.sent.minSpeedKnots) << c.what;
    }
}

// The command line names what to change; the rest goes back as it was read.
TEST(SettingsFieldsTest, ChangeOnTopOfTheSettingsRead)
{
    const SettingsRead byTime{5, -1, 2, 1, 5};
    const SettingsRead byDistance{-1, 100, 0, 0, 0};
    struct Case {
        const char *what;
        SettingsRead current;
        SettingsChange change;
        SettingsToStore sent;
    } cases[] = {
        {"nothing named: as read", byTime, {}, {5, 0, 2, 1, 5}},
        {"distance mode as read", byDistance, {}, {0, 100, 0, 0, 0}},
        {"neither interval read back", {-1, -1, 0, 0, 0}, {}, {0, kNotSet, 0, 0, 0}},
        {"vibration 1 read goes back as on", {5, -1, 1, 0, 0}, {}, {5, 0, 2, 0, 0}},
        {"tag 2 read goes back as off", {5, -1, 0, 2, 0}, {}, {5, 0, 0, 0, 0}},
        {"time given in distance mode",
         byDistance,
         {60, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
         {60, 0, 0, 0, 0}},
        {"distance given in time mode",
         byTime,
         {std::nullopt, 200, std::nullopt, std::nullopt, std::nullopt},
         {0, 200, 2, 1, 5}},
        {"8 km/h are sent as 5 knots",
         byDistance,
         {std::nullopt, std::nullopt, 8, std::nullopt, std::nullopt},
         {0, 100, 0, 0, 5}},
        {"10 km/h replace the knots read",
         byTime,
         {std::nullopt, std::nullopt, 10, std::nullopt, std::nullopt},
         {5, 0, 2, 1, 6}},
        {"0 km/h: no minimum speed",
         byTime,
         {std::nullopt, std::nullopt, 0, std::nullopt, std::nullopt},
         {5, 0, 2, 1, 0}},
        {"36 km/h: the most", byTime, {std::nullopt, std::nullopt, 36, std::nullopt, std::nullopt}, {5, 0, 2, 1, 20}},
        {"a speed beyond a byte is refused by the logger",
         byTime,
         {std::nullopt, std::nullopt, 1000, std::nullopt, std::nullopt},
         {5, 0, 2, 1, 255}},
        {"tag off, vibration on",
         byDistance,
         {std::nullopt, std::nullopt, std::nullopt, false, true},
         {0, 100, 2, 0, 0}},
        {"tag on, vibration off", byTime, {std::nullopt, std::nullopt, std::nullopt, true, false}, {5, 0, 0, 1, 5}},
    };
    for (const auto &c : cases) {
        const SettingsToStore sent = changedSettings(c.current, c.change);
        EXPECT_EQ(sent.timeInterval, c.sent.timeInterval) << c.what;
        EXPECT_EQ(sent.distanceInterval, c.sent.distanceInterval) << c.what;
        EXPECT_EQ(sent.vibration, c.sent.vibration) << c.what;
        EXPECT_EQ(sent.tag, c.sent.tag) << c.what;
        EXPECT_EQ(sent.minSpeedKnots, c.sent.minSpeedKnots) << c.what;
    }
}

}  // namespace
