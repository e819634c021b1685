#include "convert_input.h"

#include "conversion/file_ops.h"
#include "conversion/readout_history.h"
#include "conversion/track_conversion.h"
#include "log/log_image.h"
#include "log/track_text.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace trk7700::cli {
namespace {

constexpr size_t kMarkColumnWidth = 4;  // "--5,"

// A header line as the file holds it, without its CR LF.
std::string headerLine(const char *line) { return std::string(line, std::strlen(line) - 2); }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "$GPGGA,...*4F": a GGA or RMC sentence whose checksum (the XOR of the bytes
// between '$' and '*') is right.
bool isSoundSentence(const std::string &sentence)
{
    if (sentence.compare(0, 7, "$GPGGA,") != 0 && sentence.compare(0, 7, "$GPRMC,") != 0) return false;
    const size_t star = sentence.find('*');
    if (star == std::string::npos || star + 3 != sentence.size()) return false;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i) {
        const auto c = static_cast<unsigned char>(sentence[i]);
        if (c < 0x20 || c > 0x7E) return false;
        sum ^= c;
    }
    const int high = hexDigit(sentence[star + 1]), low = hexDigit(sentence[star + 2]);
    return high >= 0 && low >= 0 && static_cast<unsigned>(high * 16 + low) == sum;
}

// The fields of a used record hold what a position and a UTC time can hold.
bool isPlausibleRecord(const log::LogRecord &r)
{
    const uint32_t longitude = r.longitude & ~log::kSouthOrWest, latitude = r.latitude & ~log::kSouthOrWest;
    // ddmm.mmmm (dddmm.mmmm) times 10,000: the minutes below 60.
    const bool place = longitude <= 1800000000u && latitude <= 900000000u && longitude % 1000000 < 600000 &&
                       latitude % 1000000 < 600000;
    const uint32_t t = r.utcStamp;
    const uint32_t second = t & 0x3F, minute = (t >> 6) & 0x3F, hour = (t >> 12) & 0x1F, day = (t >> 17) & 0x1F,
                   month = (t >> 22) & 0xF;
    return place && second < 60 && minute < 60 && hour < 24 && day >= 1 && month >= 1 && month <= 12;
}

// A raw log: at most the log memory's size, at least half of its used records
// plausible. Impossible ones are flash the logger only half wrote: they are
// converted and left out of GPSBabel's files; random bytes give few plausible
// records (about one in sixteen).
bool isRawLog(const std::string &path, uintmax_t size, std::string &problem)
{
    if (size == 0) {
        problem = "it is empty";
        return false;
    }
    if (size > log::kLogImageSize) {
        problem = "it is larger than the logger's log memory (3,997,696 bytes), so it is no raw log";
        return false;
    }
    std::FILE *file = client::openRegularForReading(path);
    if (file == nullptr) {
        problem = std::strerror(errno);
        return false;
    }
    uint8_t bytes[log::kRecordSize];
    size_t used = 0, plausible = 0;
    while (std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes) {
        const log::LogRecord record = log::LogRecord::decode(bytes);
        if (record.isEmpty()) continue;
        ++used;
        if (isPlausibleRecord(record)) ++plausible;
    }
    std::fclose(file);
    if (used > 0 && (plausible == 0 || (used - plausible) * 2 > used)) {
        problem = "only " + std::to_string(plausible) + " of its " + std::to_string(used) +
                  " records hold a position and time as the logger stores them, so it is no raw log";
        return false;
    }
    return true;
}

bool startsWithGzipMagic(const std::string &path)
{
    std::FILE *file = client::openRegularForReading(path);
    if (file == nullptr) return false;
    unsigned char magic[2] = {0, 0};
    const bool gzip = std::fread(magic, 1, 2, file) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    std::fclose(file);
    return gzip;
}

bool startsWithHeader(const std::string &path)
{
    std::FILE *file = client::openRegularForReading(path);
    if (file == nullptr) return false;
    // The header's bytes alone: a huge file without a line break is not read through.
    const std::string expected = log::kGgaHeaderLine;
    std::string head(expected.size(), '\0');
    const bool header = std::fread(head.data(), 1, head.size(), file) == head.size() && head == expected;
    std::fclose(file);
    return header;
}

}  // namespace

bool isTrackText(const std::string &path, std::string &problem)
{
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size > client::kMaxTrackTextBytes) {
        problem = ec ? ec.message() : "it is larger than the track text of a full log";
        return false;
    }
    std::FILE *file = client::openRegularForReading(path);
    if (file == nullptr) {
        problem = std::strerror(errno);
        return false;
    }
    std::string line;
    bool tooLong = false;
    size_t number = 0;
    problem.clear();
    while (problem.empty() && client::readBoundedLine(file, line, tooLong)) {
        ++number;
        const std::string where = "line " + std::to_string(number) + " ";
        if (number == 1 && line != headerLine(log::kGgaHeaderLine))
            problem = "it does not start with the track text's header line";
        else if (number == 2 && line != headerLine(log::kRmcHeaderLine))
            problem = "its second line is not the track text's second header line";
        else if (number > 2 && (tooLong || line.size() > log::kMaxRecordLinesSize))
            problem = where + "is longer than any record line";
        else if (number > 2 && (line.size() <= kMarkColumnWidth || line[kMarkColumnWidth - 1] != ','))
            problem = where + "is no record line (a mark, a comma and an NMEA sentence)";
        else if (number > 2 && !isSoundSentence(line.substr(kMarkColumnWidth)))
            problem = where + "holds no GGA or RMC sentence with a right checksum";
    }
    std::fclose(file);
    if (problem.empty() && number < 2) problem = "it ends within its header lines";
    return problem.empty();
}

bool recognizeConvertInput(const std::string &given, ConvertInput &input, std::string &refusal)
{
    std::error_code ec;
    const fs::file_status status = fs::status(given, ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            refusal = given + " is not a regular file";
            return false;
        }
        // The user's own links are followed here, once; what is read is the file itself.
        input.path = fs::canonical(given, ec).string();
        if (ec) {
            refusal = given + ": " + ec.message();
            return false;
        }
        std::string problem;
        if (startsWithGzipMagic(input.path)) {
            input.kind = ConvertInput::Kind::historyEntry;
            return true;
        }
        if (startsWithHeader(input.path)) {
            input.kind = ConvertInput::Kind::trackText;
            if (isTrackText(input.path, problem)) return true;
            refusal = given + " is not a track text as the library writes it: " + problem;
            return false;
        }
        input.kind = ConvertInput::Kind::rawLog;
        if (isRawLog(input.path, fs::file_size(input.path, ec), problem)) return true;
        refusal = given + " is not a track text, a raw log or a history entry: " + problem;
        return false;
    }
    input.path = client::historyEntryPath(given);
    if (!input.path.empty()) {
        input.kind = ConvertInput::Kind::historyEntry;
        return true;
    }
    refusal = given + " is neither a file nor an entry of the readout history (see trk7700 history)";
    return false;
}

}  // namespace trk7700::cli
