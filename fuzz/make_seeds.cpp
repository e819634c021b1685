// Writes the seed corpora of the fuzz targets from the tests' fixtures: logs
// of the track generator, a firmware image of the image builder, the
// library's own track texts, and the logger's replies to every command. Each
// seed is small; a fuzz target treats a short log as the start of an image.
//   fuzz_make_seeds <corpus folder>     (normally fuzz/corpus)
// Files named seed-* are written anew; other files (inputs that once broke
// something) are left alone.
#include "log/log_image.h"
#include "log/track_text.h"
#include "sim/track_generator.h"
#include "support/firmware_file_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using namespace trk7700;
namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

fs::path corpus;

void seed(const std::string &target, const std::string &name, const Bytes &content)
{
    const fs::path folder = corpus / target;
    fs::create_directories(folder);
    std::ofstream out(folder / ("seed-" + name), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
        std::exit(1);
    }
}

Bytes slots(const std::vector<uint8_t> &image, size_t first, size_t count)
{
    return Bytes(image.begin() + static_cast<long>(first * 16),
                 image.begin() + static_cast<long>((first + count) * 16));
}

Bytes record(uint32_t longitude, uint32_t latitude, uint32_t stamp, uint16_t altitude, uint8_t speed, uint8_t tag)
{
    Bytes r(16, '\0');
    for (int i = 0; i < 4; ++i) {
        r[static_cast<size_t>(i)] = static_cast<char>(longitude >> (8 * i));
        r[static_cast<size_t>(4 + i)] = static_cast<char>(latitude >> (8 * i));
        r[static_cast<size_t>(8 + i)] = static_cast<char>(stamp >> (8 * i));
    }
    r[12] = static_cast<char>(altitude);
    r[13] = static_cast<char>(altitude >> 8);
    r[14] = static_cast<char>(speed);
    r[15] = static_cast<char>(tag);
    return r;
}

const Bytes kEmptySlot(16, '\xFF');

// Records at the edges of every field.
Bytes extremeRecords()
{
    return record(0x7FFFFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 0x8000, 255, 254) + record(0, 0, 0, 0, 0, 0) +
           record(0xFFFFFFFE, 0x80000000, 0x12345678, 0xFFFF, 1, 0xFF) +
           record(0x80000001, 0xFFFFFFFF, 0x00000FFF, 0x7FFF, 20, 42);
}

// The track text and the intermediate file the library makes of the records.
std::pair<Bytes, Bytes> exported(const Bytes &records)
{
    const fs::path work = fs::temp_directory_path() / ("trk7700-seeds-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const fs::path home = fs::current_path();
    fs::current_path(work);
    {
        std::ofstream(log::kSortedLogFile, std::ios::binary) << records;
    }
    if (log::exportTrackTextTo("track.txt") != 1) std::exit(1);
    auto read = [](const char *name) {
        std::ifstream in(name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    std::pair<Bytes, Bytes> files{read("track.txt"), read(log::kTrackTempFile)};
    fs::current_path(home);
    fs::remove_all(work);
    return files;
}

// One segment of a logger reply script (see logger_replies_fuzz.cpp).
Bytes sent(const Bytes &bytes)
{
    Bytes out;
    for (size_t at = 0; at < bytes.size(); at += 0xEF) {
        const size_t n = std::min<size_t>(0xEF, bytes.size() - at);
        out += static_cast<char>(n);
        out += bytes.substr(at, n);
    }
    return out;
}
const Bytes kPause = "\xF0";
const Bytes kHangUp = "\xF3";
const Bytes kWriteFails = "\xF4";
Bytes fill(size_t count, uint8_t value)
{
    return Bytes{'\xF1', static_cast<char>(count), static_cast<char>(count >> 8), static_cast<char>(count >> 16),
                 static_cast<char>(value)};
}
Bytes records(size_t count, const Bytes &pattern)
{
    return Bytes{'\xF2', static_cast<char>(count), static_cast<char>(count >> 8)} + pattern;
}
Bytes text(const char *t) { return Bytes(t, std::char_traits<char>::length(t) + 1); }

void loggerSeeds(const std::vector<uint8_t> &drive)
{
    const Bytes banner = sent("Ostravelle Tech. Co. TRK-7700\r\n") + kPause;
    const Bytes ready = sent(text("QZ GPS+BT"));
    const Bytes marker = sent(text("QZ Update Over"));
    const Bytes memorySize = sent(Bytes("\x00\x00\x40\x00", 4));
    Bytes information(72, '\0');
    information[1] = 0x0A;
    information[2] = 0x0A;
    information[4] = 0x39;
    information[5] = 0x30;
    Bytes settings(256, '\xFF');
    settings.replace(0, 4, Bytes("\x05\x00\x00\x00", 4));
    settings[8] = 0;
    settings[24] = 1;
    settings[25] = 0;
    const Bytes gps("\x0C\x22\x38\x18\x05\x11\0\0\0\0\0\0\0\0\0\0", 16);
    const Bytes verdictOk = sent(text("Checksum    OK"));
    const Bytes verdictError = sent(text("Checksum Error"));
    const Bytes log = records(100, slots(drive, 10, 1)) + fill(log::kLogImageSize - 1600, 0xFF) + marker;

    // Byte 0: the operation, and in the high half a second one (0xA0: none).
    auto op = [](int first, int second = 10) { return Bytes(1, static_cast<char>(first | second << 4)); };
    seed("logger_replies", "enter", op(0) + banner + ready);
    seed("logger_replies", "enter-no-nul", op(0) + banner + sent("QZ GPS+BT"));
    seed("logger_replies", "enter-then-information",
         op(0, 7) + banner + ready + sent(information) + sent(Bytes(16, '\0')) + marker);
    seed("logger_replies", "scan", op(1) + banner + ready);
    seed("logger_replies", "scan-second-port", op(1) + sent("noise") + kPause + banner + ready);
    seed("logger_replies", "leave", op(2));
    seed("logger_replies", "download", op(3) + log);
    seed("logger_replies", "download-split-marker",
         op(3) + records(100, slots(drive, 10, 1)) + fill(log::kLogImageSize - 1600, 0xFF) + sent("QZ Update ") +
             kPause + sent(Bytes(" Over\0", 5)));
    seed("logger_replies", "download-stops", op(3) + records(1000, slots(drive, 20, 1)) + kHangUp);
    seed("logger_replies", "erase", op(4) + memorySize + marker);
    seed("logger_replies", "erase-write-fails", op(4) + kWriteFails + memorySize + marker);
    seed("logger_replies", "settings-write", op(5) + memorySize + verdictOk + marker);
    seed("logger_replies", "settings-write-checksum-error", op(5) + memorySize + verdictError + marker);
    seed("logger_replies", "settings-read", op(6) + sent(settings) + marker);
    seed("logger_replies", "settings-read-short", op(6) + sent(settings.substr(0, 20)) + kPause + marker);
    seed("logger_replies", "information", op(7) + sent(information) + sent(Bytes(16, '\0')) + marker);
    // The marker without its zero byte behind a trailer that ends in one: no success.
    seed("logger_replies", "information-marker-without-zero",
         op(7) + sent(information) + sent(Bytes(16, '\0')) + sent("QZ Update Over"));
    seed("logger_replies", "information-then-settings",
         op(7, 6) + sent(information) + sent(Bytes(16, '\0')) + marker + sent(settings) + marker);
    seed("logger_replies", "gps", op(8) + sent(gps));
    seed("logger_replies", "gps-no-time", op(8) + sent(Bytes(16, '\xFF')));
    seed("logger_replies", "firmware", op(9) + verdictOk + marker);
    seed("logger_replies", "firmware-then-information", op(9, 7) + verdictOk + marker + sent(information));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    corpus = argv[1];
    const auto drive = sim::generateLog(sim::LogShape::drive, 1).image;
    const auto marks = sim::generateLog(sim::LogShape::marks, 2).image;

    // The raw log: byte 0 places the rest (0 as the file, 1 at the end of an image, 2 also beyond it).
    const Bytes driveStart = slots(drive, 0, 128);
    const Bytes wrappedSmall = slots(marks, 40, 24) + Bytes(8 * 16, '\xFF') + slots(marks, 0, 40);
    seed("raw_log", "drive", Bytes(1, '\0') + driveStart);
    seed("raw_log", "wrapped", Bytes(1, '\0') + wrappedSmall);
    seed("raw_log", "extremes", Bytes(1, '\0') + extremeRecords() + kEmptySlot + extremeRecords());
    seed("raw_log", "ring-end", "\1" + slots(marks, 0, 64));
    seed("raw_log", "longer-than-image", "\2" + kEmptySlot + slots(drive, 0, 16));
    seed("raw_log", "odd-length", Bytes(1, '\0') + slots(drive, 0, 3) + "\x12\x34\x56");

    seed("sorted_log", "drive", driveStart);
    seed("sorted_log", "marks", slots(marks, 0, 128));
    seed("sorted_log", "extremes", extremeRecords());
    seed("sorted_log", "empty", "");

    const auto [markTrack, markTemp] = exported(slots(marks, 0, 48));
    const auto [extremeTrack, extremeTemp] = exported(extremeRecords());
    seed("track_temp", "marks", markTemp);
    seed("track_temp", "extremes", extremeTemp);
    seed("track_temp", "edges", "*$*00\r\n$A*0$B*\r*");

    seed("track_conversion", "marks-per-mark", "\1" + markTrack);
    seed("track_conversion", "marks-whole-log-only", Bytes(1, '\0') + markTrack);
    seed("track_conversion", "extremes", "\1" + extremeTrack);
    seed("track_conversion", "headers-only", "\1Tag,$GPGGA\r\nTag,$GPRMC\r\n");
    seed("track_conversion", "short-lines", "\1a\r\nb\r\n--5\r\n\r\n-42,x\n--5,$\r\n");

    // Byte 0 of a firmware seed: bit 0 fits the rest to 65,536 bytes, bit 1 puts the identification in.
    const auto image = testing::buildFirmwareFile(0x0B);
    seed("firmware_image", "valid", Bytes(1, '\0') + Bytes(image.stored.begin(), image.stored.end()));
    seed("firmware_image", "identified-start", "\3" + Bytes(image.stored.begin(), image.stored.begin() + 1024));
    seed("firmware_image", "fitted-start", "\1" + Bytes(image.stored.begin(), image.stored.begin() + 512));
    seed("firmware_image", "tiny", Bytes(1, '\0') + "TRK7700");

    seed("options_file", "written", " 1\r\n 0\r\n 1\r\n 0\r\n 1\r\n/home/user/Wayfolk\r\n");
    seed("options_file", "letter-in-line-3", " 0\r\n 1\r\nx\r\n 2\r\n 0\r\nc:\\Wayfolk\r\n");
    seed("options_file", "five-lines", "1\n1\n1\n1\n1\n");
    seed("options_file", "odd-numbers", "-1\r\n 3\r\n  2  \r\n+1\r\n65536\r\n\r\n");

    loggerSeeds(drive);
    return 0;
}
