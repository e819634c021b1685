// The spherical distance; without GeographicLib it is distanceMetres too.
#include "stats/geodesic.h"

#include <cmath>

namespace trk7700::client {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadian = kPi / 180.0;
// WGS84
constexpr double kEquatorRadius = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricity2 = kFlattening * (2.0 - kFlattening);

}  // namespace

double sphericalDistanceMetres(double latitude1, double longitude1, double latitude2, double longitude2)
{
    const double phi1 = latitude1 * kRadian, phi2 = latitude2 * kRadian;
    double dLambda = (longitude2 - longitude1) * kRadian;
    if (dLambda > kPi) dLambda -= 2 * kPi;
    if (dLambda < -kPi) dLambda += 2 * kPi;
    const double dPhi = phi2 - phi1;
    const double h = std::sin(dPhi / 2) * std::sin(dPhi / 2) +
                     std::cos(phi1) * std::cos(phi2) * std::sin(dLambda / 2) * std::sin(dLambda / 2);
    const double angle = 2 * std::asin(std::sqrt(std::fmin(1.0, h)));
    if (angle == 0) return 0;

    // A sphere of the mean radius errs by up to 0.6 % along a meridian; the
    // radius of curvature where the way runs, in the way's direction, does not.
    const double middle = (phi1 + phi2) / 2;
    const double s = std::sin(middle);
    const double w = std::sqrt(1 - kEccentricity2 * s * s);
    const double meridian = kEquatorRadius * (1 - kEccentricity2) / (w * w * w);  // north-south
    const double normal = kEquatorRadius / w;                                     // east-west
    const double north = dPhi * meridian;
    const double east = dLambda * normal * std::cos(middle);
    const double along = north * north + east * east;
    const double radius = along > 0 ? meridian * normal * along / (normal * north * north + meridian * east * east)
                                    : (meridian + normal) / 2;
    return angle * radius;
}

}  // namespace trk7700::client
