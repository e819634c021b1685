#pragma once
// The logger's log memory: a ring of 16-byte position records. The library
// keeps one image of it (LinkState::logImage), which the ordering step and the
// export step each fill from their input file.
#include "frame/step_result.h"

#include <cstddef>
#include <cstdint>

namespace trk7700::log {

inline constexpr size_t kRecordSize = 16;
inline constexpr size_t kRecordCount = 249856;
inline constexpr size_t kLogImageSize = kRecordSize * kRecordCount;  // 3,997,696 bytes
// An erased slot; the name is the protocol's, keep it.
inline constexpr uint32_t EMPTY_LONGITUDE = 0xFFFFFFFF;
inline constexpr uint16_t kNoAltitude = 0xFFFF;
inline constexpr uint8_t kNoTag = 0xFF;
inline constexpr uint32_t kSouthOrWest = 0x80000000u;  // hemisphere bit of latitude and longitude

inline constexpr char kRawLogFile[] = "DB.sr";
inline constexpr char kSortedLogFile[] = "SortDB.sr";

// One position record as stored, fields little-endian.
//   longitude, latitude: bit 31 West/South, bits 0-30 dddmm.mmmm (ddmm.mmmm) times 10,000
//   utcStamp: bits 0-5 s, 6-11 min, 12-16 h, 17-21 day, 22-25 month, 26-31 year in the century
struct LogRecord {
    uint32_t longitude;
    uint32_t latitude;
    uint32_t utcStamp;
    uint16_t altitude;  // signed metres; kNoAltitude when the fix had none
    uint8_t speed;      // knots
    uint8_t tag;        // mark number; kNoTag when unmarked

    static LogRecord decode(const uint8_t *bytes);
    bool isEmpty() const { return longitude == EMPTY_LONGITUDE; }
};

struct LogImage {
    uint8_t bytes[kLogImageSize];

    const uint8_t *slot(size_t index) const { return bytes + index * kRecordSize; }
    bool slotIsEmpty(size_t index) const;
    LogRecord record(size_t index) const { return LogRecord::decode(slot(index)); }
};

// Reads a log file into the library's log image. Bytes beyond one image are
// ignored, as is a record cut off at the end of the file (a readout that broke
// off); the part of the image that the file does not cover holds empty
// slots, so that nothing of an earlier download shows through. Fails with
// openFailure, or return_pc_not_enough_memory when no read buffer can be had.
StepResult loadLogImage(const char *fileName, TRK7700_Result openFailure);

// Where the oldest record lies: the first used slot after the longest run of
// empty slots in the ring (a run may wrap from the last slot to slot 0; of
// runs of equal length, the one that begins at the lowest slot). The logger
// erases ahead of where it writes, so that run is the seam between newest and
// oldest; a shorter run is a record it could not write. Slot 0 when no slot
// or every slot is empty.
size_t oldestSlot(const LogImage &image);

// Orders the ring: reads "DB.sr" (or the raw log file given, read in place), writes "SortDB.sr" rotated to begin at
// oldestSlot(), so that reading it in order and skipping empty slots gives
// every record, oldest first. Fails with return_can_not_open_db_file, return_pc_not_enough_memory
// or return_can_not_create_sort_db_file.
StepResult SortLogImage(const char *rawLogFile = kRawLogFile);

}  // namespace trk7700::log
