#include "conversion/speed_units.h"

#include <cmath>

namespace trk7700::client {

long knotsToShownKmh(double knots) { return std::lround(knots * kKmhPerKnot - 1.0); }

long kmhToSentKnots(double kmh) { return std::lround((kmh + 1.0) / kKmhPerKnot); }

std::optional<uint8_t> kmhToSentKnotsByte(double kmh)
{
    // Checked before rounding: lround has no result for values beyond a long.
    const double knots = (kmh + 1.0) / kKmhPerKnot;
    if (!(knots > -0.5 && knots < 255.5)) return std::nullopt;
    return static_cast<uint8_t>(kmhToSentKnots(kmh));
}

}  // namespace trk7700::client
