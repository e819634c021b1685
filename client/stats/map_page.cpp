#include "stats/map_page.h"

#include "binding/shipped_files.h"
#include "conversion/file_ops.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace trk7700::client {
namespace {

// Colours that stay apart from each other and from the tiles.
const char *const kTripColours[] = {"#d7301f", "#2171b5", "#238b45", "#6a51a3",
                                    "#e6550d", "#c51b8a", "#0b8c8c", "#7f2704"};

std::string escapeHtml(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// Text that goes into a <script> or <style> element: nothing in it may close the element.
std::string inlined(std::string text)
{
    for (size_t at = 0; (at = text.find("</", at)) != std::string::npos; at += 3) text.replace(at, 2, "<\\/");
    return text;
}

bool readWhole(const std::string &path, std::string &text, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

void appendEncoded(std::string &out, long value)
{
    unsigned long v = value < 0 ? ~(static_cast<unsigned long>(value) << 1) : static_cast<unsigned long>(value) << 1;
    while (v >= 0x20) {
        out += static_cast<char>((0x20 | (v & 0x1f)) + 63);
        v >>= 5;
    }
    out += static_cast<char>(v + 63);
}

std::string statisticsHtml(const TrackStatistics &statistics)
{
    const auto rows = statisticsCells(statistics);
    std::string html = "<table id=\"statistics\">\n";
    for (size_t r = 0; r < rows.size(); ++r) {
        const bool head = r == 0;
        const bool total = !head && r + 1 == rows.size() && rows.size() > 2;
        html += total ? "<tr class=\"total\">" : "<tr>";
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const std::string cell = escapeHtml(rows[r][c]);
            if (head)
                html += "<th>" + cell + "</th>";
            else if (c == 0 && !total)
                html += "<td><span class=\"swatch\" style=\"background:" +
                        std::string(kTripColours[(r - 1) % std::size(kTripColours)]) +
                        "\"></span><a href=\"#trip=" + cell + "\">" + cell + "</a></td>";
            else if (c == 0)
                html += "<td><a href=\"#\">" + cell + "</a></td>";
            else
                html += "<td>" + cell + "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

const char *const kPageStyle = R"(
html, body { margin: 0; height: 100%; font: 13px/1.35 sans-serif; }
#map { position: absolute; inset: 0; background: #eef0ec; }
#figures { position: absolute; z-index: 1000; left: 10px; bottom: 22px; max-height: 45%; overflow: auto;
  background: rgba(255, 255, 255, 0.93); border-radius: 4px; padding: 6px 8px; box-shadow: 0 1px 4px #0005; }
#figures h1 { font-size: 14px; margin: 0 0 4px; }
#statistics { border-collapse: collapse; }
#statistics th, #statistics td { padding: 1px 7px; text-align: right; white-space: nowrap; }
#statistics th:nth-child(-n+3), #statistics td:nth-child(-n+3) { text-align: left; }
#statistics tr.total td { border-top: 1px solid #888; font-weight: bold; }
#statistics a { color: inherit; }
.swatch { display: inline-block; width: 10px; height: 10px; margin-right: 5px; border-radius: 2px; }
.trk-mark { background: #ffd92f; border: 2px solid #333; border-radius: 50%; text-align: center;
  font: bold 11px/18px sans-serif; color: #111; box-sizing: border-box; }
)";

// Decodes the lines, draws one per trip and a marker per run of marks, and
// fits the view. Tiles only when the browser is online; the lines need none.
const char *const kPageScript = R"(
function decode(text) {
  const points = [];
  let at = 0, lat = 0, lon = 0;
  function next() {
    let shift = 0, value = 0, byte;
    do { byte = text.charCodeAt(at++) - 63; value |= (byte & 0x1f) << shift; shift += 5; } while (byte >= 0x20);
    return value & 1 ? ~(value >> 1) : value >> 1;
  }
  while (at < text.length) { lat += next(); lon += next(); points.push([lat / 1e5, lon / 1e5]); }
  return points;
}
const map = L.map('map', { zoomSnap: 0.25 });
if (navigator.onLine) {
  L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', { maxZoom: 19,
    attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors' }).addTo(map);
}
let bounds = null;
const tripBounds = [];
trips.forEach(function (trip, i) {
  const points = decode(trip.line);
  const layer = points.length > 1
    ? L.polyline(points, { color: trip.colour, weight: 3, opacity: 0.9, className: 'trk-trip' })
    : L.circleMarker(points[0], { color: trip.colour, radius: 4, className: 'trk-trip' });
  layer.bindTooltip('Trip ' + (i + 1) + ': ' + trip.label).addTo(map);
  const b = L.latLngBounds(points);
  tripBounds.push(b);
  bounds = bounds ? bounds.extend(b) : L.latLngBounds(b.getSouthWest(), b.getNorthEast());
});
marks.forEach(function (m) {
  const text = 'Mark ' + m.number + ', ' + m.time;
  L.marker([m.lat, m.lon], { title: text, icon: L.divIcon({ className: 'trk-mark', html: m.number,
    iconSize: [22, 22] }) }).bindPopup(text).addTo(map);
  bounds = bounds ? bounds.extend([m.lat, m.lon]) : L.latLngBounds([[m.lat, m.lon]]);
});
// The whole track, or one trip (#trip=N, the links of the table), clear of the table.
function show() {
  const wanted = /^#trip=(\d+)$/.exec(location.hash);
  const b = wanted && tripBounds[wanted[1] - 1] ? tripBounds[wanted[1] - 1] : bounds;
  if (!b) { map.setView([0, 0], 2); return; }
  const table = document.getElementById('figures');
  map.fitBounds(b, { paddingTopLeft: [24, 24], paddingBottomRight: [24, table.offsetHeight + 32], maxZoom: 17 });
}
window.addEventListener('hashchange', show);
show();
document.body.setAttribute('data-drawn', trips.length);
)";

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

}  // namespace

std::string mapPagePath(const ReadoutFiles &files) { return inFolder(files.folder, "Wayfolk" + files.stamp + ".html"); }

std::string leafletFolder()
{
    std::error_code ec;
    std::vector<std::string> places;
    const std::string beside = executableFolder();
    if (!beside.empty()) places.push_back(beside + "/leaflet");
    places.emplace_back("/usr/share/javascript/leaflet");
    for (const auto &place : places)
        if (std::filesystem::is_regular_file(place + "/leaflet.css", ec) &&
            (std::filesystem::is_regular_file(place + "/leaflet.min.js", ec) ||
             std::filesystem::is_regular_file(place + "/leaflet.js", ec)))
            return place;
    return {};
}

std::string encodePolyline(const std::vector<std::pair<double, double>> &positions)
{
    std::string out;
    long lastLat = 0, lastLon = 0;
    bool first = true;
    for (const auto &[latitude, longitude] : positions) {
        const long lat = std::lround(latitude * 1e5), lon = std::lround(longitude * 1e5);
        if (!first && lat == lastLat && lon == lastLon) continue;
        appendEncoded(out, lat - lastLat);
        appendEncoded(out, lon - lastLon);
        lastLat = lat;
        lastLon = lon;
        first = false;
    }
    return out;
}

std::string mapPageHtml(const std::string &title, const std::vector<TrackRecord> &records,
                        const TrackSplitting &splitting, const std::string &leafletScript,
                        const std::string &leafletStyle)
{
    const TrackStatistics statistics = trackStatistics(records, splitting);
    const auto starts = tripStarts(records, splitting);
    std::string trips = "const trips = [\n";
    for (size_t t = 0; t < starts.size(); ++t) {
        const size_t end = t + 1 < starts.size() ? starts[t + 1] : records.size();
        std::vector<std::pair<double, double>> positions;
        positions.reserve(end - starts[t]);
        for (size_t i = starts[t]; i < end; ++i) positions.emplace_back(records[i].latitude, records[i].longitude);
        const TripStatistics &s = statistics.trips[t];
        char label[96];
        std::snprintf(label, sizeof label, "%s, %zu points, %.2f km", isoUtc(s.start).c_str(), s.points,
                      s.distanceMetres / 1000.0);
        // The encoding uses only the characters '?' to '~': none needs escaping in a JS string but '\\'.
        std::string line = encodePolyline(positions);
        for (size_t at = 0; (at = line.find('\\', at)) != std::string::npos; at += 2) line.insert(at, 1, '\\');
        trips += std::string("{colour: '") + kTripColours[t % std::size(kTripColours)] + "', label: '" + label +
                 "', line: '" + line + "'},\n";
    }
    trips += "];\n";
    std::string marks = "const marks = [\n";
    for (size_t i = 0; i < records.size(); ++i) {
        if (!startsMarkRun(records, i)) continue;
        const std::string &mark = records[i].mark;
        const size_t digit = mark.find_first_not_of('-');
        const std::string shown = digit == std::string::npos ? mark : mark.substr(digit);
        std::string time = isoUtc(records[i].utcSeconds);
        time[10] = ' ';
        time.back() = ' ';
        marks += "{lat: " + number(records[i].latitude) + ", lon: " + number(records[i].longitude) + ", number: '" +
                 escapeHtml(shown) + "', time: '" + time + "UTC'},\n";
    }
    marks += "];\n";

    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                       escapeHtml(title) + "</title>\n<style>\n" + inlined(leafletStyle) + "\n</style>\n<style>" +
                       kPageStyle + "</style>\n<script>\n" + inlined(leafletScript) +
                       "\n</script>\n</head>\n<body>\n<div id=\"map\"></div>\n<div id=\"figures\"><h1>" +
                       escapeHtml(title) + "</h1>\n" + statisticsHtml(statistics) + "</div>\n<script>\n" + trips +
                       marks + kPageScript + "</script>\n</body>\n</html>\n";
    return html;
}

bool writeMapPage(const std::string &trackTextPath, const TrackSplitting &splitting, const std::string &leaflet,
                  const std::string &path, std::string &error)
{
    const TrackRecords read = readTrackRecords(trackTextPath, error);
    if (!error.empty()) return false;
    if (leaflet.empty()) {
        error = "Leaflet is not installed (the Debian package 'libjs-leaflet')";
        return false;
    }
    std::string script, style;
    std::error_code ec;
    const std::string scriptPath = std::filesystem::is_regular_file(leaflet + "/leaflet.min.js", ec)
                                       ? leaflet + "/leaflet.min.js"
                                       : leaflet + "/leaflet.js";
    if (!readWhole(scriptPath, script, error) || !readWhole(leaflet + "/leaflet.css", style, error)) {
        error = "Leaflet (the Debian package 'libjs-leaflet') cannot be read: " + error;
        return false;
    }
    const std::string title = std::filesystem::path(path).stem().string();
    const std::string html = mapPageHtml(title, read.records, splitting, script, style);

    const std::string partial = partialName(path);
    std::FILE *out = createFreshFile(partial);
    if (out == nullptr) {
        error = partial + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(html.data(), 1, html.size(), out) == html.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        error = path + ": " + std::strerror(written ? errno : writeErrno);
        removeFile(partial);
        return false;
    }
    if (!replaceFile(partial, path, error)) {
        removeFile(partial);
        return false;
    }
    return true;
}

std::string writeReadoutMapPage(const ReadoutFiles &files, const TrackSplitting &splitting, std::string &error)
{
    const std::string path = mapPagePath(files);
    return writeMapPage(files.trackText, splitting, leafletFolder(), path, error) ? path : std::string();
}

std::string readoutSummary(const ReadoutFiles &files, const TrackSplitting &splitting, std::string &error)
{
    TrackStatistics statistics;
    if (!readoutStatistics(files.trackText, splitting, statistics, error)) return {};
    return statisticsSummary(statistics);
}

}  // namespace trk7700::client
