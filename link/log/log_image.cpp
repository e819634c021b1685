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
    const size_t whole = length > 0 ? static_cast<size_t>(length) / kRecordSize * kRecordSize : 0;
    const size_t wanted = std::min(whole, kLogImageSize);
    std::unique_ptr<uint8_t[]> readBuffer(new (std::nothrow) uint8_t[std::max<size_t>(wanted, 1)]);
    if (!readBuffer) return return_pc_not_enough_memory;
    const size_t got = std::fread(readBuffer.get(), 1, wanted, file.get());
    file.reset();
    LogImage &logImage = linkState().logImage;
    std::memcpy(logImage.bytes, readBuffer.get(), got);
    std::memset(logImage.bytes + got, 0xFF, kLogImageSize - got);
    return kStepSucceeded;
}

size_t oldestSlot(const LogImage &image)
{
    size_t firstUsed = 0;
    while (firstUsed < kRecordCount && image.slotIsEmpty(firstUsed)) ++firstUsed;
    if (firstUsed == kRecordCount) return 0;

    // One turn round the ring from a used slot sees every run of empty slots
    // whole, a run across the end of the memory included.
    size_t bestBegin = 0;
    size_t bestLength = 0;
    size_t runBegin = 0;
    size_t runLength = 0;
    for (size_t step = 1; step <= kRecordCount; ++step) {
        const size_t slot = (firstUsed + step) % kRecordCount;
        if (image.slotIsEmpty(slot)) {
            if (runLength++ == 0) runBegin = slot;
            continue;
        }
        if (runLength > bestLength || (runLength == bestLength && runLength > 0 && runBegin < bestBegin)) {
            bestBegin = runBegin;
            bestLength = runLength;
        }
        runLength = 0;
    }
    return bestLength == 0 ? 0 : (bestBegin + bestLength) % kRecordCount;
}

StepResult SortLogImage(const char *rawLogFile)
{
    if (const StepResult loaded = loadLogImage(rawLogFile, return_can_not_open_db_file); !loaded.ok()) return loaded;
    const LogImage &logImage = linkState().logImage;

    const size_t oldest = oldestSlot(logImage);

    frame::FileHandle sorted(frame::createFile(kSortedLogFile));
    if (!sorted) return return_can_not_create_sort_db_file;
    const size_t split = oldest * kRecordSize;
    bool written = std::fwrite(logImage.bytes + split, 1, kLogImageSize - split, sorted.get()) == kLogImageSize - split;
    written = std::fwrite(logImage.bytes, 1, split, sorted.get()) == split && written;
    // A disk that fills up must not pass a cut log on as complete.
    return frame::closeWritten(sorted, written) ? kStepSucceeded : return_can_not_create_sort_db_file;
}

}  // namespace trk7700::log
