#pragma once
// The logger counts speeds in whole knots; people read km/h. The shown value
// carries an offset of 1 km/h: shown = knots x 1.852 - 1, sent = (km/h + 1) / 1.852,
// each rounded to the nearest whole number. 5 knots show as 8 km/h, and 8 km/h
// are sent as 5 knots; 36 km/h give 20 knots, the most the logger takes.
#include <cstdint>
#include <optional>

namespace trk7700::client {

inline constexpr double kKmhPerKnot = 1.852;

long knotsToShownKmh(double knots);
long kmhToSentKnots(double kmh);
// The sent knots as the byte the library takes; none when they do not fit one
// (above 255 knots, below 0, or no number at all).
std::optional<uint8_t> kmhToSentKnotsByte(double kmh);

}  // namespace trk7700::client
