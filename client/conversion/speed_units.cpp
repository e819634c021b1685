#include "conversion/speed_units.h"

#include <cmath>

namespace trk7700::client {

long knotsToShownKmh(double knots) { return std::lround(knots * kKmhPerKnot - 1.0); }

long kmhToSentKnots(double kmh) { return std::lround((kmh + 1.0) / kKmhPerKnot); }

}  // namespace trk7700::client
