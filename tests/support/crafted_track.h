#pragma once
// Crafted tracks for the figures and the map page: records given by degrees,
// UTC time, speed and mark, turned into a track text by the library's own
// ordering and export steps, as a readout would make it.
#include "log/log_image.h"
#include "log/track_text.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace trk7700::testing {

struct CraftedRecord {
    double latitude, longitude;     // degrees, south and west negative
    int day, hour, minute, second;  // in November 2026, UTC
    int speedKnots = 0;
    int mark = 0xFF;  // 0xFF: unmarked
};

// Degrees as the logger stores them: ddmm.mmmm times 10000, bit 31 for south or west.
inline uint32_t loggerDegrees(double degrees)
{
    const double magnitude = std::fabs(degrees);
    const double whole = std::floor(magnitude);
    const auto packed = static_cast<uint32_t>(whole * 1000000 + std::lround((magnitude - whole) * 60 * 10000));
    return degrees < 0 ? packed | kSouth : packed;
}

// Writes the records as the library's track text into folder/Wayfolk.txt.
inline std::string craftedTrackText(const std::vector<CraftedRecord> &records, const std::filesystem::path &folder)
{
    std::vector<RecordFields> fields;
    for (const auto &r : records)
        fields.push_back({loggerDegrees(r.longitude), loggerDegrees(r.latitude),
                          utcStamp(2026, 11, r.day, r.hour, r.minute, r.second), 100,
                          static_cast<uint8_t>(r.speedKnots), static_cast<uint8_t>(r.mark)});
    writeFile(folder / "DB.sr", imageWith(fields));
    InDirectory in(folder);
    if (log::SortLogImage() != 1 || log::exportTrackTextTo("Wayfolk.txt") != 1) return {};
    return (folder / "Wayfolk.txt").string();
}

}  // namespace trk7700::testing
