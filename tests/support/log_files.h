#pragma once
// Helpers for tests of the log: records built field by field, the working
// directory kept for the length of a test.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trk7700::testing {

inline constexpr uint32_t kSouth = 0x80000000u;  // also West on a longitude
inline constexpr size_t kImageBytes = 3997696;
inline constexpr size_t kImageRecords = kImageBytes / 16;

inline uint32_t utcStamp(int year, int month, int day, int hour, int minute, int second)
{
    return static_cast<uint32_t>(second) | static_cast<uint32_t>(minute) << 6 | static_cast<uint32_t>(hour) << 12 |
           static_cast<uint32_t>(day) << 17 | static_cast<uint32_t>(month) << 22 |
           static_cast<uint32_t>(year % 100) << 26;
}

struct RecordFields {
    uint32_t longitude;
    uint32_t latitude;
    uint32_t stamp;
    uint16_t altitude;
    uint8_t speed;
    uint8_t tag;
};

inline std::array<uint8_t, 16> recordBytes(const RecordFields &f)
{
    std::array<uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i) {
        b[static_cast<size_t>(i)] = static_cast<uint8_t>(f.longitude >> (8 * i));
        b[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(f.latitude >> (8 * i));
        b[static_cast<size_t>(8 + i)] = static_cast<uint8_t>(f.stamp >> (8 * i));
    }
    b[12] = static_cast<uint8_t>(f.altitude);
    b[13] = static_cast<uint8_t>(f.altitude >> 8);
    b[14] = f.speed;
    b[15] = f.tag;
    return b;
}

// An image of empty slots with the given records from slot 0 on.
inline std::string imageWith(const std::vector<RecordFields> &records)
{
    std::string image(kImageBytes, '\xFF');
    for (size_t i = 0; i < records.size(); ++i) {
        const auto bytes = recordBytes(records[i]);
        image.replace(i * 16, 16, reinterpret_cast<const char *>(bytes.data()), 16);
    }
    return image;
}

// Makes a folder the current directory and goes back at the end of the scope.
class InDirectory {
public:
    explicit InDirectory(const std::filesystem::path &path) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~InDirectory() { std::filesystem::current_path(previous_); }
    InDirectory(const InDirectory &) = delete;
    InDirectory &operator=(const InDirectory &) = delete;

private:
    std::filesystem::path previous_;
};

// The names of the files in a folder, sorted.
inline std::vector<std::string> filesIn(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace trk7700::testing
