// Builds with GeographicLib measure the geodesic on the WGS84 ellipsoid.
#include "stats/geodesic.h"

#include <GeographicLib/Geodesic.hpp>

namespace trk7700::client {

double distanceMetres(double latitude1, double longitude1, double latitude2, double longitude2)
{
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(latitude1, longitude1, latitude2, longitude2, metres);
    return metres;
}

const char *distanceMethod() { return "the WGS84 ellipsoid (GeographicLib)"; }

}  // namespace trk7700::client
