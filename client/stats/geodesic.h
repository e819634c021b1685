#pragma once
// Distance between two positions on the earth. Where GeographicLib is found at
// build time the distance is the geodesic on the WGS84 ellipsoid
// (geodesic_geographiclib.cpp); elsewhere, as in the Windows build, a
// spherical formula with the ellipsoid's local radius stands in
// (geodesic_sphere.cpp), within 0.5 % of it.

namespace trk7700::client {

// Metres between two positions in degrees (south and west negative).
double distanceMetres(double latitude1, double longitude1, double latitude2, double longitude2);

// Which of the two methods distanceMetres uses, for the help and the notes.
const char *distanceMethod();

// The spherical stand-in: the great-circle angle times the WGS84 ellipsoid's
// radius of curvature at the middle latitude in the direction of travel.
double sphericalDistanceMetres(double latitude1, double longitude1, double latitude2, double longitude2);

}  // namespace trk7700::client
