#include "conversion/settings_fields.h"

#include "conversion/speed_units.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace trk7700::client {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

size_t digitsFrom(std::string_view text, size_t at)
{
    size_t end = at;
    while (end < text.size() && isDigit(text[end])) ++end;
    return end - at;
}

// Decimal places of the first significant digit of an unsigned number text
// ("123.4e5" gives 8, "0.004" gives -2): which side of 1 a value lies on that
// does not fit a double.
long long decimalMagnitude(std::string_view number)
{
    const size_t point = std::min(number.find('.'), number.find_first_of("eE"));
    const size_t exponentAt = number.find_first_of("eE");
    long long exponent = 0;
    if (exponentAt != std::string_view::npos) {
        size_t at = exponentAt + 1;
        const bool negative = number[at] == '-';
        if (number[at] == '+' || number[at] == '-') ++at;
        // Far beyond any double; more digits change nothing.
        for (; at < number.size() && exponent < 1000000; ++at) exponent = exponent * 10 + (number[at] - '0');
        if (negative) exponent = -exponent;
    }
    const std::string_view mantissa = number.substr(0, exponentAt);
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return std::numeric_limits<long long>::min();  // zero
    const size_t wholeDigits = std::min(point, mantissa.size());
    return first < wholeDigits ? static_cast<long long>(wholeDigits - first) + exponent
                               : -static_cast<long long>(first - wholeDigits - 1) + exponent;
}

// The sign-extended 32-bit argument of a 16-bit interval.
uint32_t intervalArgument(int16_t value) { return static_cast<uint32_t>(int32_t{value}); }

}  // namespace

long shownMinSpeedKmh(uint8_t knots) { return knots == 0 ? 0 : knotsToShownKmh(knots); }

std::optional<uint8_t> minSpeedKnotsFor(double kmh)
{
    if (std::isnan(kmh)) return std::nullopt;
    // kmhToSentKnots would make 0 km/h a speed of 1 knot.
    if (kmh <= 0) return uint8_t{0};
    return kmhToSentKnotsByte(kmh);
}

SettingsToStore changedSettings(const SettingsRead &current, const SettingsChange &change)
{
    SettingsToStore store;
    // -1 read back becomes 0xFFFFFFFF, which the library takes as not set too.
    if (logsByTime(current))
        store.timeInterval = static_cast<uint32_t>(current.timeInterval);
    else
        store.distanceInterval = static_cast<uint32_t>(current.distanceInterval);
    if (change.timeSeconds) {
        store.timeInterval = *change.timeSeconds;
        store.distanceInterval = 0;
    } else if (change.distanceMetres) {
        store.timeInterval = 0;
        store.distanceInterval = *change.distanceMetres;
    }
    store.minSpeedKnots = current.minSpeedKnots;
    if (change.minSpeedKmh)
        store.minSpeedKnots =
            minSpeedKnotsFor(static_cast<double>(*change.minSpeedKmh)).value_or(std::numeric_limits<uint8_t>::max());
    store.tag = tagByte(change.tag.value_or(tagOn(current)));
    store.vibration = vibrationByte(change.vibration.value_or(vibrationOn(current)));
    return store;
}

SettingsPageShown settingsPageFor(const SettingsRead &read)
{
    SettingsPageShown shown;
    shown.byTime = logsByTime(read);
    // The other interval's field keeps its text.
    if (shown.byTime) shown.timeText = std::to_string(read.timeInterval);
    if (read.distanceInterval != -1) shown.distanceText = std::to_string(read.distanceInterval);
    shown.minSpeedText = std::to_string(shownMinSpeedKmh(read.minSpeedKnots));
    if (read.minSpeedKnots != 0) shown.minSpeedKnotsRead = std::to_string(read.minSpeedKnots);
    shown.vibration = vibrationOn(read);
    shown.tag = tagOn(read);
    return shown;
}

PageStore settingsToStore(const SettingsPage &page)
{
    using Refused = PageStore::Refused;
    PageStore store;
    const auto refuse = [&store](Refused entry) {
        store.refused = entry;
        return store;
    };
    if (page.byTime) {
        const auto seconds = roundedTo16Bits(leadingNumber(page.timeText));
        if (!seconds) return refuse(Refused::timeInterval);
        store.settings.timeInterval = intervalArgument(*seconds);
    }
    if (page.byDistance) {
        const auto metres = roundedTo16Bits(leadingNumber(page.distanceText));
        if (!metres) return refuse(Refused::distanceInterval);
        store.settings.distanceInterval = intervalArgument(*metres);
    }
    store.settings.vibration = vibrationByte(page.vibration);
    store.settings.tag = tagByte(page.tag);

    const double kmh = leadingNumber(page.minSpeedText);
    if (kmh > 0) {
        const double readKnots = leadingNumber(page.minSpeedKnotsRead);
        if (readKnots > 0) {
            // The knots read from the logger, unchanged by the round trip through km/h.
            const double knots = std::nearbyint(readKnots);
            if (!(knots <= std::numeric_limits<uint8_t>::max())) return refuse(Refused::minSpeedKnotsRead);
            store.settings.minSpeedKnots = static_cast<uint8_t>(knots);
        } else {
            const auto knots = minSpeedKnotsFor(kmh);
            if (!knots) return refuse(Refused::minSpeedKmh);
            store.settings.minSpeedKnots = *knots;
        }
    }
    return store;
}

double leadingNumber(std::string_view text)
{
    size_t at = text.find_first_not_of(" \t\n\v\f\r");
    if (at == std::string_view::npos) return 0.0;
    bool negative = false;
    if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
    const size_t start = at;
    const size_t whole = digitsFrom(text, at);
    at += whole;
    size_t fraction = 0;
    if (at < text.size() && text[at] == '.') {
        fraction = digitsFrom(text, at + 1);
        // "5." is a number, "." alone is none.
        if (whole > 0 || fraction > 0) at += 1 + fraction;
    }
    if (whole == 0 && fraction == 0) return 0.0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t exponentAt = at + 1;
        if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-')) ++exponentAt;
        const size_t exponentDigits = digitsFrom(text, exponentAt);
        if (exponentDigits > 0) at = exponentAt + exponentDigits;
    }
    const std::string_view number = text.substr(start, at - start);
    double value = 0.0;
    const std::errc error = std::from_chars(number.data(), number.data() + number.size(), value).ec;
    if (error == std::errc::result_out_of_range) {
        // Too small a number is plain 0, without a sign.
        if (decimalMagnitude(number) <= 0) return 0.0;
        value = std::numeric_limits<double>::infinity();
    } else if (error != std::errc{}) {
        return 0.0;
    }
    return negative ? -value : value;
}

std::optional<int16_t> roundedTo16Bits(double value)
{
    const double rounded = std::nearbyint(value);  // the default rounding takes halves to even
    if (!(rounded >= std::numeric_limits<int16_t>::min() && rounded <= std::numeric_limits<int16_t>::max()))
        return std::nullopt;
    return static_cast<int16_t>(rounded);
}

}  // namespace trk7700::client
