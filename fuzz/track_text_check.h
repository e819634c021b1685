#pragma once
// Checks a track text against the ordered image it was made of, without the
// library's formatting code: the two header lines, then two lines for every
// record up to the first empty slot, each behind the record's mark column,
// with its fixed number of fields, printable characters only and a true NMEA
// checksum (the XOR of the characters between '$' and '*').
#include "fuzz_support.h"
#include "log/log_image.h"
#include "log/track_text.h"

#include <algorithm>
#include <string>

namespace trk7700::fuzzing {

inline std::string markColumn(uint8_t tag)
{
    if (tag == 0xFF) return "---,";
    std::string number = std::to_string(tag);
    return std::string(3 - number.size(), '-') + number + ",";
}

inline bool isEmptySlot(const uint8_t *record)
{
    return record[0] == 0xFF && record[1] == 0xFF && record[2] == 0xFF && record[3] == 0xFF;
}

inline void checkSentenceLine(const std::string &line, const std::string &mark, const char *talker, int commas)
{
    FUZZ_CHECK(line.compare(0, mark.size(), mark) == 0);
    FUZZ_CHECK(line.compare(mark.size(), 7, talker) == 0);
    FUZZ_CHECK(std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c <= 0x7E; }));
    FUZZ_CHECK(std::count(line.begin(), line.end(), ',') == commas);
    const size_t star = line.find('*');
    FUZZ_CHECK(star != std::string::npos && star + 3 == line.size());
    uint8_t sum = 0;
    for (size_t i = mark.size() + 1; i < star; ++i) sum ^= static_cast<uint8_t>(line[i]);
    static constexpr char kHex[] = "0123456789ABCDEF";
    FUZZ_CHECK(line[star + 1] == kHex[sum >> 4] && line[star + 2] == kHex[sum & 0xF]);
}

// image: one whole ordered log image (log::kLogImageSize bytes).
inline void checkTrackText(const std::string &text, const uint8_t *image)
{
    const std::string headers = std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine;
    FUZZ_CHECK(text.compare(0, headers.size(), headers) == 0);
    size_t at = headers.size();
    for (size_t slot = 0; slot < log::kRecordCount; ++slot) {
        const uint8_t *record = image + slot * log::kRecordSize;
        if (isEmptySlot(record)) continue;  // a slot the logger could not write: the records go on
        const std::string mark = markColumn(record[15]);
        // GGA: mark, talker, time, lat, N/S, lon, E/W, 1, 08, 00.0, altitude, M, 00.0, M, '', '*..'
        // RMC: mark, talker, time, A, lat, N/S, lon, E/W, speed, 0.00, date, '', '*..'
        for (const auto &[talker, commas] : {std::pair{"$GPGGA,", 15}, std::pair{"$GPRMC,", 12}}) {
            const size_t end = text.find("\r\n", at);
            FUZZ_CHECK(end != std::string::npos);
            checkSentenceLine(text.substr(at, end - at), mark, talker, commas);
            at = end + 2;
        }
    }
    FUZZ_CHECK(at == text.size());
}

}  // namespace trk7700::fuzzing
