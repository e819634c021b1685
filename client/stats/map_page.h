#pragma once
// The map page of a readout: one self-contained HTML file with Leaflet inlined
// (script and style), the track as one coloured line per trip, each run of
// marks as a marker with its number and time, and the statistics table. Online
// it lays the lines over OpenStreetMap tiles; offline they show on a plain
// background. No widgets here.
#include "conversion/track_conversion.h"
#include "stats/track_statistics.h"

#include <string>
#include <vector>

namespace trk7700::client {

// T/Wayfolk[S].html beside the readout's other files.
std::string mapPagePath(const ReadoutFiles &files);

// Where Leaflet's leaflet.js (or leaflet.min.js) and leaflet.css are read from:
// leaflet/ beside the executable (the Windows build ships it there), else
// Debian's /usr/share/javascript/leaflet. Empty when neither holds it.
std::string leafletFolder();

// The polyline encoding of positions at 1e-5 degrees (about a metre): each
// coordinate's change from the point before, in 5-bit groups as printable
// characters. A point that encodes like the one before is left out.
std::string encodePolyline(const std::vector<std::pair<double, double>> &positions);

// The page for the records as text.
std::string mapPageHtml(const std::string &title, const std::vector<TrackRecord> &records,
                        const TrackSplitting &splitting, const std::string &leafletScript,
                        const std::string &leafletStyle);

// Writes the page for the track text at path through a partial name, so that
// a failed run leaves an earlier page as it was. False, with the reason in
// error, when the text, Leaflet or the page cannot be read or written.
bool writeMapPage(const std::string &trackTextPath, const TrackSplitting &splitting, const std::string &leaflet,
                  const std::string &path, std::string &error);

// The window's call: the page of the readout's files beside them, split as
// asked, with Leaflet from leafletFolder(). Returns the page's path, or empty
// with the reason in error.
std::string writeReadoutMapPage(const ReadoutFiles &files, const TrackSplitting &splitting, std::string &error);

// The window's status line for the readout: "3 Fahrten, 600 Punkte, 12,3 km",
// or empty with the reason in error.
std::string readoutSummary(const ReadoutFiles &files, const TrackSplitting &splitting, std::string &error);

}  // namespace trk7700::client
