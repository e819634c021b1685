#include "dumpmode/image_upload.h"

#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace trk7700::dumpmode {
namespace {

constexpr int kUnitSize = 15;
static_assert(sizeof kChecksumOk == kUnitSize && sizeof kChecksumError == kUnitSize && sizeof kEndMarker == kUnitSize);

// The settling pause reads nothing; it only watches the clock's seconds, ten
// times per read time-out (so every 10 ms).
std::chrono::milliseconds settlingPollInterval()
{
    return std::chrono::milliseconds(std::max(1, serial::readTimeoutMilliseconds() / 10));
}

bool sendPieces(const std::vector<uint8_t> &image)
{
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    const PieceObserver pieceObserver = linkState().testHooks.pieceObserver;
    for (size_t offset = 0; offset < image.size(); offset += kUploadPieceSize) {
        const int size = static_cast<int>(std::min<size_t>(kUploadPieceSize, image.size() - offset));
        std::memcpy(ioBuffer, image.data() + offset, static_cast<size_t>(size));
        if (pieceObserver != nullptr) pieceObserver(size);
        // A port that refuses a piece will not take the rest either; going on
        // would only cost a time-out per piece.
        if (!serial::writeAll(ioBuffer, size)) return false;
    }
    return true;
}

bool unitIs(const char *text) { return std::memcmp(linkState().port.ioBuffer, text, kUnitSize) == 0; }

}  // namespace

uint8_t xorChecksum(const uint8_t *bytes, size_t count)
{
    uint8_t x = 0;
    for (size_t i = 0; i < count; ++i) x ^= bytes[i];
    return x;
}

UploadVerdict uploadImage(Command header, const std::vector<uint8_t> &image, uint8_t checksum, AfterEndMarker after)
{
    if (!sendCommand(header, static_cast<uint32_t>(image.size()), checksum) || !sendPieces(image))
        return UploadVerdict::noAnswer;

    serial::TickCount ticks(kVerdictTickLimit);
    bool checksumErrorSeen = false;
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    for (;;) {
        // A short read must not be completed into a unit by bytes of an earlier one.
        std::memset(ioBuffer, 0xFF, kUnitSize);
        if (serial::readSome(ioBuffer, kUnitSize) > 0) {
            if (unitIs(kChecksumError)) checksumErrorSeen = true;
            if (unitIs(kEndMarker)) {
                if (checksumErrorSeen) return UploadVerdict::checksumError;
                if (after == AfterEndMarker::settle) {
                    while (!ticks.expiredAfterPoll()) std::this_thread::sleep_for(settlingPollInterval());
                }
                return UploadVerdict::success;
            }
        }
        if (ticks.expiredAfterPoll()) return UploadVerdict::noAnswer;
    }
}

}  // namespace trk7700::dumpmode
