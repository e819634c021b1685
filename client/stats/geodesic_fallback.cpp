// Builds without GeographicLib measure with the spherical formula.
#include "stats/geodesic.h"

namespace trk7700::client {

double distanceMetres(double latitude1, double longitude1, double latitude2, double longitude2)
{
    return sphericalDistanceMetres(latitude1, longitude1, latitude2, longitude2);
}

const char *distanceMethod() { return "a sphere of the WGS84 ellipsoid's local radius"; }

}  // namespace trk7700::client
