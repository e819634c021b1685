#pragma once
// Reading back what GPSBabel wrote: the track points of a GPX file, and the
// ISO time texts it uses.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace trk7700::testing {

struct GpxPoint {
    double latitude, longitude;
    std::string time;  // as written, e.g. 2026-12-05T09:45:12Z
};

inline std::string gpxAttribute(const std::string &tag, const std::string &name)
{
    const size_t at = tag.find(name + "=\"");
    if (at == std::string::npos) return {};
    const size_t begin = at + name.size() + 2;
    return tag.substr(begin, tag.find('"', begin) - begin);
}

inline std::vector<GpxPoint> gpxTrackPoints(const std::string &gpx)
{
    std::vector<GpxPoint> points;
    size_t at = 0;
    while ((at = gpx.find("<trkpt ", at)) != std::string::npos) {
        const size_t end = gpx.find("</trkpt>", at);
        const std::string element = gpx.substr(at, end - at);
        const std::string tag = element.substr(0, element.find('>'));
        const size_t time = element.find("<time>");
        points.push_back(
            {std::stod(gpxAttribute(tag, "lat")), std::stod(gpxAttribute(tag, "lon")),
             time == std::string::npos ? "" : element.substr(time + 6, element.find("</time>") - time - 6)});
        at = end;
    }
    return points;
}

inline std::string isoUtcTime(int64_t utcSeconds)
{
    const time_t t = static_cast<time_t>(utcSeconds);
    tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace trk7700::testing
