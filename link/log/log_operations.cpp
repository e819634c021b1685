#include "log/log_operations.h"

#include "TRK7700_DLL.h"
#include "dumpmode/dump_mode.h"
#include "frame/step_result.h"
#include "frame/work_folder.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <algorithm>
#include <cstdio>

namespace trk7700::log {
namespace {

// The end-marker and memory-size waits use the same limit for a silent stream.
constexpr int kStreamTickLimit = 2;

}  // namespace

int downloadLogImage()
{
    FILE *raw = std::fopen(kRawLogFile, "wb");
    if (raw == nullptr) return return_can_not_create_db_file;
    if (!dumpmode::sendCommand(dumpmode::CMD_DUMP_LOG)) {
        std::fclose(raw);
        return return_device_time_out;
    }

    // Exactly the bytes received, until the whole image is in; reads may be
    // cut anywhere, so a pause in the stream shifts nothing. The image ends
    // exactly where the end marker begins.
    bool written = true;
    bool complete = true;
    size_t received = 0;
    serial::TickCount silence(kStreamTickLimit);
    while (received < kLogImageSize) {
        const int want = static_cast<int>(std::min<size_t>(serial::kIoBufferSize, kLogImageSize - received));
        const int got = serial::readSome(serial::ioBuffer, want);
        if (got > 0) {
            written = std::fwrite(serial::ioBuffer, 1, static_cast<size_t>(got), raw) == static_cast<size_t>(got) &&
                      written;
            received += static_cast<size_t>(got);
            silence = serial::TickCount(kStreamTickLimit);
        } else if (silence.expiredAfterPoll()) {
            complete = false;
            break;
        }
    }
    const bool markerCame = complete && dumpmode::waitEndMarker(kStreamTickLimit);
    written = std::fclose(raw) == 0 && written;
    if (!written) return return_can_not_create_db_file;
    return markerCame ? kStepSucceeded : return_device_time_out;
}

int eraseTickLimit(int32_t memorySize)
{
    switch (memorySize) {
    case 0x800000: return 160;
    case 0x1000000: return 320;
    case 0x2000000: return 640;
    default: return 80;
    }
}

int eraseLog()
{
    const int32_t size = dumpmode::queryMemorySize();
    if (!dumpmode::sendCommand(dumpmode::CMD_ERASE_LOG)) return return_device_time_out;
    return dumpmode::waitEndMarker(eraseTickLimit(size)) ? kStepSucceeded : return_device_time_out;
}

int32_t dumpDb(const char *textFilePath)
{
    if (!dumpmode::inDumpMode) return return_not_dump_mode;
    if (frame::enterWorkFolder(textFilePath, frame::FolderMode::file) != 0) {
        frame::restoreSavedDirectory();
        return return_can_not_create_db_file;
    }
    frame::SavedDirectoryGuard restoreDirectory;

    const int downloaded = downloadLogImage();
    if (downloaded != kStepSucceeded) return downloaded;
    const uint8_t sorted = SortLogImage();
    if (sorted != kStepSucceeded) return sorted;
    std::remove(kRawLogFile);
    const uint8_t exported = ExportTrackText();
    if (exported != kStepSucceeded) return exported;
    std::remove(kSortedLogFile);
    std::remove(kTrackTempFile);
    return return_dump_db_successful;
}

int32_t eraseAllDb()
{
    if (!dumpmode::inDumpMode) return return_not_dump_mode;
    return eraseLog() == kStepSucceeded ? return_erase_db_successful : return_device_time_out;
}

}  // namespace trk7700::log
