#pragma once
// The rules of the recording settings as both front ends show and change
// them: which values the logger takes, what the values it reads back mean,
// and how the fields become the arguments of the store. The window's page
// and the command line's options say it in their own words; the rules are
// here. No widgets here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trk7700::client {

// The values the logger takes; beyond them the library refuses the store
// with its own result.
struct FieldRange {
    unsigned long fewest;
    unsigned long most;
};
inline constexpr FieldRange kTimeIntervalSeconds{1, 3600};
inline constexpr FieldRange kDistanceIntervalMetres{1, 3000};
inline constexpr FieldRange kMinSpeedKmh{0, 36};  // 36 km/h are 20 knots, the most the logger takes

// The settings as the library reads them back: an interval of -1 is not in force.
struct SettingsRead {
    int32_t timeInterval = -1;
    int32_t distanceInterval = -1;
    uint8_t vibration = 0;
    uint8_t tag = 0;
    uint8_t minSpeedKnots = 0;
};

// What the read settings mean. A logger with neither interval in force
// logs by distance.
inline bool logsByTime(const SettingsRead &read) { return read.timeInterval != -1; }
inline bool vibrationOn(const SettingsRead &read) { return read.vibration != 0; }
inline bool tagOn(const SettingsRead &read) { return read.tag == 1; }
// The minimum speed in km/h as shown; no minimum speed shows as 0.
long shownMinSpeedKmh(uint8_t knots);

// The arguments of a store: an interval of 0 is not set.
struct SettingsToStore {
    uint32_t timeInterval = 0;
    uint32_t distanceInterval = 0;
    uint8_t vibration = 0;
    uint8_t tag = 0;
    uint8_t minSpeedKnots = 0;
};

// The bytes the logger takes for on and off.
inline uint8_t vibrationByte(bool on) { return on ? 2 : 0; }
inline uint8_t tagByte(bool on) { return on ? 1 : 0; }

// The minimum speed sent for a speed in km/h: 0 km/h or less is no minimum
// speed; none when the knots do not fit the byte the library takes.
std::optional<uint8_t> minSpeedKnotsFor(double kmh);

// A change of some settings; what is not named stays as read. The knots read
// back go back unchanged unless a new speed is given, so that the round trip
// through km/h cannot drift.
struct SettingsChange {
    std::optional<uint32_t> timeSeconds;     // logs by time from now on
    std::optional<uint32_t> distanceMetres;  // logs by distance from now on (when no time is given)
    std::optional<unsigned long> minSpeedKmh;
    std::optional<bool> tag;
    std::optional<bool> vibration;
};
// Speeds that do not fit a byte of knots become the most the byte holds,
// which the library refuses by name; the command line's range keeps them out.
SettingsToStore changedSettings(const SettingsRead &current, const SettingsChange &change);

// The settings page as the window shows it: the texts of its fields.
struct SettingsPage {
    bool byTime = false;       // "log by time" selected
    bool byDistance = false;   // "log by distance" selected; with neither both intervals are 0
    std::string timeText;      // seconds
    std::string distanceText;  // metres
    std::string minSpeedText;  // km/h
    // The knots exactly as last read from the logger; empty once the speed was edited.
    std::string minSpeedKnotsRead;
    bool vibration = false;
    bool tag = false;
};

// The page after a read-back. A field whose text is not given keeps its text.
struct SettingsPageShown {
    bool byTime = false;
    std::optional<std::string> timeText;
    std::optional<std::string> distanceText;
    std::string minSpeedText;
    std::string minSpeedKnotsRead;  // written after the speed's text, whose change empties it
    bool vibration = false;
    bool tag = false;
};
SettingsPageShown settingsPageFor(const SettingsRead &read);

// What a store of the page sends, or which entry the library's arguments
// cannot carry (an interval beyond 16 bits, a speed beyond a byte of knots);
// then nothing may be sent.
struct PageStore {
    enum class Refused { none, timeInterval, distanceInterval, minSpeedKnotsRead, minSpeedKmh };
    Refused refused = Refused::none;
    SettingsToStore settings;
};
PageStore settingsToStore(const SettingsPage &page);

// The number a field's text starts with: ASCII blanks before it are skipped,
// then a sign, digits with a decimal point and an exponent; 0 when the text
// does not start with a number. Too large a number gives an infinity.
double leadingNumber(std::string_view text);

// Rounded to the nearest 16-bit integer, halves to even; none beyond its range.
std::optional<int16_t> roundedTo16Bits(double value);

}  // namespace trk7700::client
