#include "conversion/track_records.h"

#include "conversion/file_ops.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace trk7700::client {
namespace {

std::vector<std::string_view> fieldsOf(std::string_view sentence)
{
    const size_t star = sentence.find('*');
    if (star != std::string_view::npos) sentence = sentence.substr(0, star);
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t comma = sentence.find(',', start);
        fields.push_back(
            sentence.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

// The digits of text from at, count of them; -1 when they are not all digits.
long digitsAt(std::string_view text, size_t at, size_t count)
{
    if (text.size() < at + count) return -1;
    long value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// hhmmss(.sss)
bool timeIsPossible(std::string_view time)
{
    const long h = digitsAt(time, 0, 2), m = digitsAt(time, 2, 2), s = digitsAt(time, 4, 2);
    return h >= 0 && m >= 0 && s >= 0 && h <= 23 && m <= 59 && s <= 59;
}

// ddmm.mmmm (degreeDigits 2) or dddmm.mmmm (3): minutes below 60, and the
// whole at most limit degrees.
bool coordinateIsPossible(std::string_view value, std::string_view hemisphere, size_t degreeDigits, long limit)
{
    const size_t dot = value.find('.');
    const size_t whole = dot == std::string_view::npos ? value.size() : dot;
    if (whole < degreeDigits + 2 || hemisphere.size() != 1) return false;
    const long degrees = digitsAt(value, 0, whole - 2);
    const long minutes = digitsAt(value, whole - 2, 2);
    if (degrees < 0 || minutes < 0 || minutes >= 60) return false;
    long fraction = 0;
    if (dot != std::string_view::npos && dot + 1 < value.size()) {
        fraction = digitsAt(value, dot + 1, value.size() - dot - 1);
        if (fraction < 0) return false;
    }
    return degrees < limit || (degrees == limit && minutes == 0 && fraction == 0);
}

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

bool isSentence(std::string_view sentence, std::string_view kind)
{
    return sentence.size() > kind.size() && sentence.substr(0, kind.size()) == kind && sentence[kind.size()] == ',';
}

}  // namespace

bool sentenceIsPossible(std::string_view sentence)
{
    const auto f = fieldsOf(sentence);
    if (isSentence(sentence, "$GPGGA"))
        return f.size() > 5 && timeIsPossible(f[1]) && coordinateIsPossible(f[2], f[3], 2, 90) &&
               coordinateIsPossible(f[4], f[5], 3, 180);
    if (isSentence(sentence, "$GPRMC"))
        return f.size() > 9 && timeIsPossible(f[1]) && coordinateIsPossible(f[3], f[4], 2, 90) &&
               coordinateIsPossible(f[5], f[6], 3, 180) && sentenceDay(sentence) >= 0;
    return true;
}

int64_t sentenceDay(std::string_view sentence)
{
    if (!isSentence(sentence, "$GPRMC")) return -1;
    const auto f = fieldsOf(sentence);
    if (f.size() <= 9 || f[9].size() != 6) return -1;
    const long d = digitsAt(f[9], 0, 2), m = digitsAt(f[9], 2, 2), y = digitsAt(f[9], 4, 2);
    if (d < 1 || d > 31 || m < 1 || m > 12 || y < 0) return -1;
    return daysFromCivil(2000 + y, static_cast<unsigned>(m), static_cast<unsigned>(d));
}

int64_t utcDay(std::time_t when)
{
    const int64_t seconds = static_cast<int64_t>(when);
    return (seconds >= 0 ? seconds : seconds - 86399) / 86400;
}

bool datesLookRolledOver(int64_t newestDay, int64_t today)
{
    return newestDay >= 0 && today - newestDay >= kWeekRolloverDays;
}

std::string correctWeekRollover(const std::string &sentence, int64_t today)
{
    const int64_t day = sentenceDay(sentence);
    if (day < 0 || today - day < kWeekRolloverDays) return sentence;
    // The date is field 9: find where it stands.
    size_t at = 0;
    for (int comma = 0; comma < 9; ++comma) at = sentence.find(',', at) + 1;
    int year = 0;
    unsigned month = 0, dayOfMonth = 0;
    civilFromDays(day + kWeekRolloverDays, year, month, dayOfMonth);
    char date[32];
    std::snprintf(date, sizeof date, "%02u%02u%02d", dayOfMonth % 100, month % 100, year % 100);
    std::string corrected = sentence;
    corrected.replace(at, 6, date);
    const size_t star = corrected.find('*');
    if (star != std::string::npos && star + 3 <= corrected.size()) {
        unsigned sum = 0;
        for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(corrected[i]);
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", sum);
        corrected.replace(star + 1, 2, digits);
    }
    return corrected;
}

bool SentenceRecord::possible() const
{
    return (!gga.empty() || !rmc.empty()) && sentenceIsPossible(gga) && sentenceIsPossible(rmc);
}

int64_t SentenceRecord::utcSeconds() const
{
    const int64_t day = sentenceDay(rmc);
    if (day < 0) return -1;
    const auto f = fieldsOf(rmc);
    const long h = digitsAt(f[1], 0, 2), m = digitsAt(f[1], 2, 2), s = digitsAt(f[1], 4, 2);
    if (h < 0 || m < 0 || s < 0) return -1;
    return day * 86400 + h * 3600 + m * 60 + s;
}

void RecordAssembler::add(const std::string &sentence)
{
    if (isSentence(sentence, "$GPGGA")) {
        if (hasPending_) finish();
        pending_.gga = sentence;
        hasPending_ = true;
        return;
    }
    pending_.rmc = sentence;
    hasPending_ = true;
    finish();
}

void RecordAssembler::finish()
{
    if (!hasPending_) return;
    onRecord_(pending_);
    pending_ = {};
    hasPending_ = false;
}

bool TrackCutter::startsNewTrack(int64_t utcSeconds)
{
    if (utcSeconds < 0) return false;
    int localDay = -1;
    if (days_) {
        const std::tm t = localCalendarTime(static_cast<std::time_t>(utcSeconds));
        localDay = t.tm_year * 400 + t.tm_yday;
    }
    const bool first = previous_ < 0;
    const bool cut = !first && ((tripGapSeconds_ > 0 && utcSeconds - previous_ > tripGapSeconds_) ||
                                (days_ && localDay != previousLocalDay_));
    previous_ = utcSeconds;
    previousLocalDay_ = localDay;
    return cut;
}

}  // namespace trk7700::client
