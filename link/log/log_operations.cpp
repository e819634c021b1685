#include "log/log_operations.h"

#include "TRK7700_DLL.h"
#include "dumpmode/dump_mode.h"
#include "frame/file_system.h"
#include "frame/link_state.h"
#include "frame/step_result.h"
#include "frame/work_folder.h"
#include "log/log_image.h"
#include "log/stream_pace.h"
#include "log/track_text.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace trk7700::log {
namespace {

// The first byte of the log must come within the usual reply limit; once the
// stream runs, a pause of up to 10 s (radio links stall) does not end it, but
// a stream that trickles does (StreamPace).
constexpr int kFirstByteTickLimit = 2;
constexpr int kStreamPauseTickLimit = 12;

// The seconds value (0..59) of a clock that only moves forward. The pace is
// judged in real time, not by the tick clock that the waits (and the tests'
// counting clocks) go by: a minute of trickle is a real minute.
int monotonicSecond()
{
    using namespace std::chrono;
    return static_cast<int>(duration_cast<seconds>(steady_clock::now().time_since_epoch()).count() % 60);
}

// Names the library uses for itself in the work folder; the caller's text
// file must not be one of them, or one step would destroy another's file.
bool isOwnFileName(const std::string &name)
{
    for (const char *own : {kRawLogFile, kSortedLogFile, kTrackTempFile, kTrackNewFile})
        if (name == own) return true;
    return false;
}

}  // namespace

StepResult downloadLogImage()
{
    frame::FileHandle raw(frame::createFile(kRawLogFile));
    if (!raw) return return_can_not_create_db_file;
    if (!dumpmode::sendCommand(dumpmode::CMD_DUMP_LOG)) return return_device_time_out;

    // Exactly the bytes received, until the whole image is in; reads may be
    // cut anywhere, so a pause in the stream shifts nothing. The image ends
    // exactly where the end marker begins.
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    bool written = true;
    bool complete = true;
    size_t received = 0;
    serial::TickCount silence(kFirstByteTickLimit);
    StreamPace pace;
    while (received < kLogImageSize) {
        const int want = static_cast<int>(std::min<size_t>(serial::kIoBufferSize, kLogImageSize - received));
        const int got = serial::readSome(ioBuffer, want);
        // Single pauses are forgiven; a stream that trickles for a minute ends the readout.
        pace.add(got > 0 ? static_cast<size_t>(got) : 0, monotonicSecond());
        if (pace.trickling()) {
            complete = false;
            break;
        }
        if (got > 0) {
            written =
                std::fwrite(ioBuffer, 1, static_cast<size_t>(got), raw.get()) == static_cast<size_t>(got) && written;
            received += static_cast<size_t>(got);
            silence = serial::TickCount(kStreamPauseTickLimit);
        } else if (silence.expiredAfterPoll()) {
            complete = false;
            break;
        }
    }
    // The marker must follow the image directly: a stream that held stray
    // bytes (line noise) ends with image bytes where the marker should be.
    const bool markerCame = complete && dumpmode::readUntilEndMarker(0, 0, kStreamPauseTickLimit) == 0;
    if (!frame::closeWritten(raw, written)) return return_can_not_create_db_file;
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

StepResult eraseLog()
{
    const int32_t size = dumpmode::queryMemorySize();
    if (!dumpmode::sendCommand(dumpmode::CMD_ERASE_LOG)) return return_device_time_out;
    return dumpmode::waitEndMarker(eraseTickLimit(size)) ? kStepSucceeded : return_device_time_out;
}

TRK7700_Result dumpDb(const char *textFilePath)
{
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    // Refused before anything is sent: no folder, no file name, or a name the
    // library needs for its own files.
    const frame::WorkFolder work(textFilePath, frame::FolderMode::file);
    if (!work.entered() || isOwnFileName(work.fileName())) return return_can_not_create_db_file;

    if (const StepResult downloaded = downloadLogImage(); !downloaded.ok()) return downloaded.failure();
    if (const StepResult sorted = SortLogImage(); !sorted.ok()) return sorted.failure();
    std::remove(kRawLogFile);
    if (const StepResult exported = exportTrackTextTo(work.fileName().c_str()); !exported.ok())
        return exported.failure();
    std::remove(kSortedLogFile);
    std::remove(kTrackTempFile);
    return return_dump_db_successful;
}

TRK7700_Result eraseAllDb()
{
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    return eraseLog().ok() ? return_erase_db_successful : return_device_time_out;
}

}  // namespace trk7700::log
