#include "log/log_operations.h"

#include "dumpmode/dump_mode.h"
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
    if (raw == nullptr) return 6;
    if (!dumpmode::sendCommand(dumpmode::CMD_DUMP_LOG)) {
        std::fclose(raw);
        return 12;
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
    if (!written) return 6;
    return markerCame ? 1 : 12;
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
    if (!dumpmode::sendCommand(dumpmode::CMD_ERASE_LOG)) return 12;
    return dumpmode::waitEndMarker(eraseTickLimit(size)) ? 1 : 12;
}

int32_t dumpDb(const char *textFilePath)
{
    if (!dumpmode::inDumpMode) return 26;
    if (frame::enterWorkFolder(textFilePath, frame::FolderMode::file) != 0) {
        frame::restoreSavedDirectory();
        return 6;
    }
    frame::SavedDirectoryGuard restoreDirectory;

    const int downloaded = downloadLogImage();
    if (downloaded != 1) return downloaded;
    const uint8_t sorted = SortLogImage();
    if (sorted != 1) return sorted;
    std::remove(kRawLogFile);
    const uint8_t exported = ExportTrackText();
    if (exported != 1) return exported;
    std::remove(kSortedLogFile);
    std::remove(kTrackTempFile);
    return 2;
}

int32_t eraseAllDb()
{
    if (!dumpmode::inDumpMode) return 26;
    return eraseLog() == 1 ? 13 : 12;
}

}  // namespace trk7700::log
