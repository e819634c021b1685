#include "log/log_image.h"

#include "frame/file_system.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace trk7700::log {

LogImage logImage;

namespace {

uint32_t littleEndian32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Length of an open file, or -1.
long fileLength(FILE *file)
{
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

}  // namespace

LogRecord LogRecord::decode(const uint8_t *bytes)
{
    LogRecord r;
    r.longitude = littleEndian32(bytes);
    r.latitude = littleEndian32(bytes + 4);
    r.utcStamp = littleEndian32(bytes + 8);
    r.altitude = static_cast<uint16_t>(bytes[12] | bytes[13] << 8);
    r.speed = bytes[14];
    r.tag = bytes[15];
    return r;
}

bool LogImage::slotIsEmpty(size_t index) const { return littleEndian32(slot(index)) == EMPTY_LONGITUDE; }

int loadLogImage(const char *fileName, int openFailure)
{
    frame::FileHandle file(frame::openRegularFile(fileName));
    if (!file) return openFailure;
    const long length = fileLength(file.get());
    const size_t wanted = length > 0 ? std::min(static_cast<size_t>(length), kLogImageSize) : 0;
    std::unique_ptr<uint8_t[]> readBuffer(new (std::nothrow) uint8_t[std::max<size_t>(wanted, 1)]);
    if (!readBuffer) return 5;
    const size_t got = std::fread(readBuffer.get(), 1, wanted, file.get());
    file.reset();
    std::memcpy(logImage.bytes, readBuffer.get(), got);
    std::memset(logImage.bytes + got, 0xFF, kLogImageSize - got);
    return 1;
}

uint8_t SortLogImage()
{
    const int loaded = loadLogImage(kRawLogFile, 9);
    if (loaded != 1) return static_cast<uint8_t>(loaded);

    // E: the first empty slot; F: the first used slot after it, where the
    // oldest records of a wrapped ring begin.
    size_t firstEmpty = kRecordCount;
    size_t oldest = kRecordCount;
    for (size_t i = 0; i < kRecordCount; ++i) {
        const bool empty = logImage.slotIsEmpty(i);
        if (firstEmpty == kRecordCount) {
            if (empty) firstEmpty = i;
        } else if (!empty) {
            oldest = i;
            break;
        }
    }

    FILE *sorted = frame::createFile(kSortedLogFile);
    if (sorted == nullptr) return 7;
    const size_t split = oldest < kRecordCount ? oldest * kRecordSize : 0;
    bool written = std::fwrite(logImage.bytes + split, 1, kLogImageSize - split, sorted) == kLogImageSize - split;
    written = std::fwrite(logImage.bytes, 1, split, sorted) == split && written;
    // A disk that fills up must not pass a cut log on as complete.
    written = std::fclose(sorted) == 0 && written;
    return written ? 1 : 7;
}

}  // namespace trk7700::log
