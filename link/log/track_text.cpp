#include "log/track_text.h"

#include "frame/file_system.h"
#include "frame/link_state.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace trk7700::log {
namespace {

// Files are written through buffers of this size instead of byte by byte.
constexpr size_t kChunkSize = 1 << 20;

char *putText(char *out, const char *text, size_t length)
{
    std::memcpy(out, text, length);
    return out + length;
}

template <size_t N>
char *put(char *out, const char (&text)[N])
{
    return putText(out, text, N - 1);
}

// Decimal with leading zeros up to minWidth digits.
char *putDecimal(char *out, uint32_t value, int minWidth)
{
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < minWidth; ++i) *out++ = '0';
    while (count > 0) *out++ = digits[--count];
    return out;
}

char *putTagColumn(char *out, uint8_t tag)
{
    if (tag == kNoTag) return put(out, "---,");
    const int width = tag >= 100 ? 3 : tag >= 10 ? 2 : 1;
    for (int i = width; i < 3; ++i) *out++ = '-';
    out = putDecimal(out, tag, 1);
    *out++ = ',';
    return out;
}

// hhmmss.000
char *putTime(char *out, uint32_t stamp)
{
    out = putDecimal(out, (stamp >> 12) & 0x1F, 2);
    out = putDecimal(out, (stamp >> 6) & 0x3F, 2);
    out = putDecimal(out, stamp & 0x3F, 2);
    return put(out, ".000");
}

// ddmmyy
char *putDate(char *out, uint32_t stamp)
{
    out = putDecimal(out, (stamp >> 17) & 0x1F, 2);
    out = putDecimal(out, (stamp >> 22) & 0x0F, 2);
    return putDecimal(out, (stamp >> 26) & 0x3F, 2);
}

// Degrees and minutes times 10,000: "ddmm.mmmm,N" or "dddmm.mmmm,E".
char *putCoordinate(char *out, uint32_t word, int integerWidth, char positive, char negative)
{
    const uint32_t magnitude = word & ~kSouthOrWest;
    out = putDecimal(out, magnitude / 10000, integerWidth);
    *out++ = '.';
    out = putDecimal(out, magnitude % 10000, 4);
    *out++ = ',';
    *out++ = (word & kSouthOrWest) != 0 ? negative : positive;
    return out;
}

char *putLatitudeLongitude(char *out, const LogRecord &r)
{
    out = putCoordinate(out, r.latitude, 4, 'N', 'S');
    *out++ = ',';
    return putCoordinate(out, r.longitude, 5, 'E', 'W');
}

char *putAltitude(char *out, uint16_t word)
{
    if (word == kNoAltitude) return put(out, "00000,");
    const int metres = static_cast<int16_t>(word);
    if (metres < 0) *out++ = '-';
    out = putDecimal(out, static_cast<uint32_t>(metres < 0 ? -metres : metres), 1);
    return put(out, ".0,");
}

char hexDigit(unsigned nibble) { return "0123456789ABCDEF"[nibble & 0xF]; }

using File = frame::FileHandle;
using frame::closeWritten;

// Pass 1: the data lines with placeholder checksums into "Output_tmp.dat".
StepResult writeDataLines()
{
    std::unique_ptr<char[]> text(new (std::nothrow) char[kChunkSize]);
    if (!text) return return_pc_not_enough_memory;
    File temp(frame::createFile(kTrackTempFile));
    if (!temp) return return_can_not_create_output_file;
    const LogImage &logImage = linkState().logImage;
    bool written = true;
    char *end = text.get();
    for (size_t i = 0; i < kRecordCount; ++i) {
        // A slot the logger could not write lies among the records: the
        // records beyond it are still part of the track.
        if (logImage.slotIsEmpty(i)) continue;
        if (static_cast<size_t>(end - text.get()) > kChunkSize - kMaxRecordLinesSize) {
            written = std::fwrite(text.get(), 1, static_cast<size_t>(end - text.get()), temp.get()) ==
                          static_cast<size_t>(end - text.get()) &&
                      written;
            end = text.get();
        }
        end = formatRecordLines(logImage.record(i), end);
    }
    const size_t rest = static_cast<size_t>(end - text.get());
    written = std::fwrite(text.get(), 1, rest, temp.get()) == rest && written;
    return closeWritten(temp, written) ? kStepSucceeded : return_can_not_create_output_file;
}

}  // namespace

char *formatRecordLines(const LogRecord &r, char *out)
{
    char *const tagEnd = putTagColumn(out, r.tag);
    const size_t tagLength = static_cast<size_t>(tagEnd - out);
    char time[16];
    const size_t timeLength = static_cast<size_t>(putTime(time, r.utcStamp) - time);

    out = put(tagEnd, "$GPGGA,");
    out = putText(out, time, timeLength);
    *out++ = ',';
    out = putLatitudeLongitude(out, r);
    out = put(out, ",1,08,00.0,");
    out = putAltitude(out, r.altitude);
    out = put(out, "M,00.0,M,,*00\r\n");

    out = putText(out, tagEnd - tagLength, tagLength);
    out = put(out, "$GPRMC,");
    out = putText(out, time, timeLength);
    out = put(out, ",A,");
    out = putLatitudeLongitude(out, r);
    *out++ = ',';
    out = putDecimal(out, r.speed, 1);
    out = put(out, ".00,0.00,");
    out = putDate(out, r.utcStamp);
    return put(out, ",,*00\r\n");
}

char *ChecksumFiller::fill(const char *in, size_t count, char *out)
{
    for (size_t i = 0; i < count; ++i) {
        const char c = in[i];
        if (placeholderLeft_ > 0) {
            copyNextAsIs_ = --placeholderLeft_ == 0;
            continue;
        }
        *out++ = c;
        if (copyNextAsIs_) {
            copyNextAsIs_ = false;
        } else if (c == '$') {
            checksum_ = 0;
        } else if (c == '*') {
            *out++ = hexDigit(checksum_ >> 4);
            *out++ = hexDigit(checksum_);
            placeholderLeft_ = 2;
        } else {
            checksum_ ^= static_cast<uint8_t>(c);
        }
    }
    return out;
}

// The text goes to a file of its own first and replaces the caller's file
// only once it is complete, so that a failed run leaves an earlier file as it was.
StepResult writeTrackText(const char *outputFile)
{
    File temp(frame::openRegularFile(kTrackTempFile));
    if (!temp) return return_can_not_open_output_tmp_file;
    std::unique_ptr<char[]> in(new (std::nothrow) char[kChunkSize]);
    std::unique_ptr<char[]> out(new (std::nothrow) char[kChunkSize + 16]);
    if (!in || !out) return return_pc_not_enough_memory;
    File output(frame::createFile(kTrackNewFile));
    if (!output) return return_can_not_create_output_file;
    bool written = std::fputs(kGgaHeaderLine, output.get()) >= 0 && std::fputs(kRmcHeaderLine, output.get()) >= 0;
    ChecksumFiller filler;
    for (;;) {
        const size_t got = std::fread(in.get(), 1, kChunkSize, temp.get());
        if (got == 0) break;
        const size_t length = static_cast<size_t>(filler.fill(in.get(), got, out.get()) - out.get());
        written = std::fwrite(out.get(), 1, length, output.get()) == length && written;
    }
    written = std::ferror(temp.get()) == 0 && written;
    if (!closeWritten(output, written) || !frame::replaceFile(kTrackNewFile, outputFile)) {
        std::remove(kTrackNewFile);
        return return_can_not_create_output_file;
    }
    return kStepSucceeded;
}

StepResult exportTrackTextTo(const char *outputFile)
{
    if (const StepResult loaded = loadLogImage(kSortedLogFile, return_can_not_open_sort_db_file); !loaded.ok())
        return loaded;
    if (const StepResult lines = writeDataLines(); !lines.ok()) return lines;
    return writeTrackText(outputFile);
}

}  // namespace trk7700::log
