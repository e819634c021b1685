#include "sim/track_generator.h"

#include "sim/simulated_logger.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

namespace trk7700::sim {
namespace {

constexpr size_t kRecordBytes = 16;
constexpr size_t kSlots = kLogImageSize / kRecordBytes;  // 249,856
// The logger erases its flash in 4 KB sectors ahead of the write position, so
// a ring that wrapped shows at least one erased sector after the newest record.
constexpr size_t kSectorSlots = 4096 / kRecordBytes;
constexpr double kPi = 3.14159265358979323846;

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    uint64_t next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double between(double low, double high) { return low + (high - low) * uniform(); }
    int integer(int low, int high) { return low + static_cast<int>(next() % static_cast<uint64_t>(high - low + 1)); }
    bool chance(double p) { return uniform() < p; }

private:
    uint64_t state_;
};

enum class Motion { city, highway, sail };

struct Place {
    const char *name;
    double latitude, longitude;
    double altitude;
    Motion motion;
};

// One per hemisphere, a road below sea level, and a sail that crosses both
// the equator and the prime meridian.
const Place kPlaces[] = {
    {"Taipei", 25.0330, 121.5654, 12, Motion::city},      {"Denver", 39.7392, -104.9903, 1609, Motion::highway},
    {"Cape Town", -33.9249, 18.4241, 15, Motion::city},   {"Buenos Aires", -34.6037, -58.3816, 25, Motion::city},
    {"Gulf of Guinea", 0.0040, -0.0040, 0, Motion::sail}, {"Dead Sea", 31.7000, 35.4500, -410, Motion::highway},
};
constexpr int kPlaceCount = sizeof kPlaces / sizeof kPlaces[0];

// Days since 1970-01-01 of a civil date, and back.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    using namespace std::chrono;
    return sys_days{year{static_cast<int>(y)} / month{m} / day{d}}.time_since_epoch().count();
}

void civilFromDays(int64_t z, int &year, unsigned &month, unsigned &day)
{
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{z}}};
    year = static_cast<int>(date.year());
    month = static_cast<unsigned>(date.month());
    day = static_cast<unsigned>(date.day());
}

// Sign bit and degrees-minutes times 10,000, rounded to 1/10,000 minute.
uint32_t coordinateWord(double degrees)
{
    const bool negative = degrees < 0;
    const uint64_t tenThousandthMinutes = static_cast<uint64_t>(std::llround(std::fabs(degrees) * 600000.0));
    const uint64_t whole = tenThousandthMinutes / 600000;
    const uint64_t minutes = tenThousandthMinutes % 600000;
    const uint32_t magnitude = static_cast<uint32_t>(whole * 1000000 + minutes);
    return magnitude | (negative && magnitude != 0 ? 0x80000000u : 0u);
}

double degreesOfWord(uint32_t word)
{
    const uint32_t magnitude = word & 0x7FFFFFFFu;
    const double degrees = magnitude / 1000000 + (magnitude % 1000000) / 600000.0;
    return (word & 0x80000000u) != 0 ? -degrees : degrees;
}

uint32_t stampOf(int64_t utcSeconds)
{
    const int64_t days = utcSeconds >= 0 ? utcSeconds / 86400 : (utcSeconds - 86399) / 86400;
    const int64_t secondOfDay = utcSeconds - days * 86400;
    int year;
    unsigned month, day;
    civilFromDays(days, year, month, day);
    const uint32_t hour = static_cast<uint32_t>(secondOfDay / 3600);
    const uint32_t minute = static_cast<uint32_t>(secondOfDay / 60 % 60);
    const uint32_t second = static_cast<uint32_t>(secondOfDay % 60);
    return second | minute << 6 | hour << 12 | day << 17 | month << 22 | static_cast<uint32_t>(year % 100) << 26;
}

void putLittleEndian(uint8_t *out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Writes trips one after the other until it has made the number of records asked for.
class TrackWriter {
public:
    struct Style {
        double markChance;
        bool crossMidnight;             // the second trip starts shortly before midnight UTC
        int shortestTrip, longestTrip;  // records
    };

    TrackWriter(uint64_t seed, Style style) : random_(seed), style_(style)
    {
        clock_ = daysFromCivil(2026, 3, 2) * 86400 + 6 * 3600 + random_.integer(0, 3 * 3600);
        nextPlace_ = random_.integer(0, kPlaceCount - 1);
    }

    std::vector<TrackPoint> make(size_t count)
    {
        std::vector<TrackPoint> points;
        points.reserve(count);
        int trip = 0;
        while (points.size() < count) {
            const size_t length = std::min(
                count - points.size(), static_cast<size_t>(random_.integer(style_.shortestTrip, style_.longestTrip)));
            addTrip(points, kPlaces[(nextPlace_ + trip) % kPlaceCount], length, trip);
            ++trip;
        }
        return points;
    }

private:
    void addTrip(std::vector<TrackPoint> &points, const Place &place, size_t length, int trip)
    {
        // Between trips: some hours, and once a start just before midnight UTC.
        if (!points.empty()) clock_ += random_.integer(2 * 3600, 30 * 3600);
        if (style_.crossMidnight && trip == 1) clock_ = (clock_ / 86400 + 1) * 86400 - random_.integer(60, 300);
        const int interval = place.motion == Motion::sail ? 5 : random_.integer(0, 2) == 0 ? 1 : random_.integer(2, 5);

        const double spread = place.motion == Motion::sail ? 0.001 : 0.01;
        double latitude = place.latitude + random_.between(-spread, spread);
        double longitude = place.longitude + random_.between(-spread, spread);
        double heading = place.motion == Motion::sail ? 0.75 * kPi : random_.between(0, 2 * kPi);
        double speed = 0;
        double targetSpeed = cruiseSpeed(place.motion);
        double altitude = place.altitude;
        int stoppedFor = 0;
        int withoutAltitude = 0;

        for (size_t i = 0; i < length; ++i) {
            TrackPoint p;
            const uint32_t latitudeWord = coordinateWord(latitude);
            const uint32_t longitudeWord = coordinateWord(longitude);
            p.latitude = degreesOfWord(latitudeWord);
            p.longitude = degreesOfWord(longitudeWord);
            p.utcSeconds = clock_;
            int metres = static_cast<int>(std::lround(altitude));
            if (metres == -1) metres = -2;  // all ones means "no altitude"
            p.altitude = withoutAltitude > 0 ? std::nullopt : std::optional<int>(metres);
            p.speedKnots = std::clamp(static_cast<int>(std::lround(speed)), 0, 255);
            p.tag = 0xFF;
            if (random_.chance(style_.markChance)) {
                p.tag = nextMark_;
                nextMark_ = nextMark_ == 254 ? 0 : nextMark_ + 1;
            }
            points.push_back(p);

            // The next fix.
            clock_ += interval;
            if (withoutAltitude > 0)
                --withoutAltitude;
            else if (random_.chance(1.0 / 250))
                withoutAltitude = random_.integer(5, 40);  // a 2D fix for a while
            if (place.motion != Motion::sail) {
                if (stoppedFor > 0) {
                    --stoppedFor;
                    speed = 0;
                } else if (place.motion == Motion::city && random_.chance(0.01 * interval)) {
                    stoppedFor = random_.integer(10, 60) / interval;  // lights, traffic
                    speed = 0;
                }
                if (random_.chance(0.02 * interval)) targetSpeed = cruiseSpeed(place.motion);
                if (random_.chance(place.motion == Motion::city ? 0.01 * interval : 0.002 * interval))
                    heading += random_.chance(0.5) ? kPi / 2 : -kPi / 2;  // a turn
            }
            if (stoppedFor == 0) speed += std::clamp(targetSpeed - speed, -4.0 * interval, 3.0 * interval);
            heading += random_.between(-0.05, 0.05);
            altitude += place.motion == Motion::sail ? random_.between(-2, 2) - 0.2 * (altitude - place.altitude)
                                                     : random_.between(-0.6, 0.6) * interval;
            const double nauticalMiles = speed * interval / 3600.0;
            latitude += nauticalMiles * std::cos(heading) / 60.0;
            longitude += nauticalMiles * std::sin(heading) / (60.0 * std::cos(latitude * kPi / 180.0));
        }
    }

    double cruiseSpeed(Motion motion)
    {
        switch (motion) {
        case Motion::city: return random_.between(12, 35);
        case Motion::highway: return random_.between(50, 68);
        case Motion::sail: return random_.between(4, 7);
        }
        return 0;
    }

    Random random_;
    Style style_;
    int64_t clock_;
    int nextPlace_;
    int nextMark_ = 0;
};

}  // namespace

const char *logShapeName(LogShape shape)
{
    switch (shape) {
    case LogShape::drive: return "drive";
    case LogShape::marks: return "marks";
    case LogShape::wrapped: return "wrapped";
    case LogShape::twoGaps: return "two-gaps";
    case LogShape::empty: return "empty";
    case LogShape::full: return "full";
    }
    return "?";
}

const std::vector<LogShape> &allLogShapes()
{
    static const std::vector<LogShape> shapes{LogShape::drive,   LogShape::marks, LogShape::wrapped,
                                              LogShape::twoGaps, LogShape::empty, LogShape::full};
    return shapes;
}

std::optional<LogShape> logShapeNamed(const std::string &name)
{
    for (LogShape shape : allLogShapes())
        if (name == logShapeName(shape)) return shape;
    return std::nullopt;
}

void encodeRecord(const TrackPoint &point, uint8_t *out)
{
    putLittleEndian(out, coordinateWord(point.longitude), 4);
    putLittleEndian(out + 4, coordinateWord(point.latitude), 4);
    putLittleEndian(out + 8, stampOf(point.utcSeconds), 4);
    putLittleEndian(out + 12, point.altitude ? static_cast<uint16_t>(static_cast<int16_t>(*point.altitude)) : 0xFFFF,
                    2);
    out[14] = static_cast<uint8_t>(point.speedKnots);
    out[15] = static_cast<uint8_t>(point.tag);
}

GeneratedLog generateLog(LogShape shape, uint64_t seed)
{
    GeneratedLog log;
    log.image.assign(kLogImageSize, 0xFF);
    Random layout(seed ^ 0x5A5A5A5Aull);

    auto usedRun = [&](size_t begin, size_t end) {
        for (size_t slot = begin; slot < end; ++slot) log.writeOrder.push_back(slot);
    };
    switch (shape) {
    case LogShape::empty: break;
    case LogShape::drive:
    case LogShape::marks:
        usedRun(0, static_cast<size_t>(layout.integer(4500, 6000)));  // five trips or more
        break;
    case LogShape::full: usedRun(0, kSlots); break;
    case LogShape::wrapped:
    case LogShape::twoGaps: {
        // Newest records in [0, E), erased sectors [E, F), oldest from F on.
        const size_t newest = static_cast<size_t>(layout.integer(kSlots / 5, kSlots * 3 / 5));
        const size_t oldest = (newest / kSectorSlots + 2) * kSectorSlots;
        log.gaps.push_back({newest, oldest});
        if (shape == LogShape::twoGaps) {
            // A few slots the logger could not write, among the older records:
            // a shorter run than the erased sectors at the seam of the ring.
            const size_t begin = oldest + kSectorSlots * static_cast<size_t>(layout.integer(8, 64));
            const size_t end = begin + static_cast<size_t>(layout.integer(1, 3));
            usedRun(oldest, begin);
            usedRun(end, kSlots);
            log.gaps.push_back({begin, end});
        } else {
            usedRun(oldest, kSlots);
        }
        usedRun(0, newest);
        break;
    }
    }

    const bool shortLog = shape == LogShape::drive || shape == LogShape::marks;
    TrackWriter writer(
        seed, {shape == LogShape::marks ? 1.0 / 8 : 1.0 / 300, shortLog, shortLog ? 400 : 300, shortLog ? 900 : 2500});
    log.points = writer.make(log.writeOrder.size());
    for (size_t i = 0; i < log.writeOrder.size(); ++i)
        encodeRecord(log.points[i], log.image.data() + log.writeOrder[i] * kRecordBytes);
    return log;
}

}  // namespace trk7700::sim
