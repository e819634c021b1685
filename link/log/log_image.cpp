#include "log/log_image.h"

#include "frame/file_system.h"
#include "frame/link_state.h"
#include "frame/little_endian.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace trk7700::log {

namespace {

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
    r.altitude = littleEndian16(bytes + 12);
    r.speed = bytes[14];
    r.tag = bytes[15];
    return r;
}

bool LogImage::slotIsEmpty(size_t index) const { return littleEndian32(slot(index)) == EMPTY_LONGITUDE; }

StepResult loadLogImage(const char *fileName, TRK7700_Result openFailure)
{
    frame::FileHandle file(frame::openRegularFile(fileName));
    if (!file) return openFailure;
    const long length = fileLength(file.get());
    const size_t wanted = length > 0 ? std::min(static_cast<size_t>(length), kLogImageSize) : 0;
    std::unique_ptr<uint8_t[]> readBuffer(new (std::nothrow) uint8_t[std::max<size_t>(wanted, 1)]);
    if (!readBuffer) return return_pc_not_enough_memory;
    const size_t got = std::fread(readBuffer.get(), 1, wanted, file.get());
    file.reset();
    LogImage &logImage = linkState().logImage;
    std::memcpy(logImage.bytes, readBuffer.get(), got);
    std::memset(logImage.bytes + got, 0xFF, kLogImageSize - got);
    return kStepSucceeded;
}

StepResult SortLogImage()
{
    if (const StepResult loaded = loadLogImage(kRawLogFile, return_can_not_open_db_file); !loaded.ok()) return loaded;
    const LogImage &logImage = linkState().logImage;

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

    frame::FileHandle sorted(frame::createFile(kSortedLogFile));
    if (!sorted) return return_can_not_create_sort_db_file;
    const size_t split = oldest < kRecordCount ? oldest * kRecordSize : 0;
    bool written = std::fwrite(logImage.bytes + split, 1, kLogImageSize - split, sorted.get()) == kLogImageSize - split;
    written = std::fwrite(logImage.bytes, 1, split, sorted.get()) == split && written;
    // A disk that fills up must not pass a cut log on as complete.
    return frame::closeWritten(sorted, written) ? kStepSucceeded : return_can_not_create_sort_db_file;
}

}  // namespace trk7700::log
