#include "dumpmode/dump_mode.h"

#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <cstring>

namespace trk7700::dumpmode {

bool inDumpMode = false;
int32_t detectedPort = 0;
int32_t memorySize = 0;

namespace {

using serial::ioBuffer;

constexpr int kFirstPortToScan = 0;
constexpr int kLastPortToScan = 256;

bool sendText(const char *text)
{
    const int size = static_cast<int>(std::strlen(text)) + 1;
    std::memcpy(ioBuffer, text, static_cast<size_t>(size));
    return serial::writeAll(ioBuffer, size);
}

// Greeting, ready reply; on any difference the exit request is sent and the
// port closed. A greeting the port did not take has no reply.
bool handshake()
{
    const bool greeted = sendText(kGreeting);
    std::memset(ioBuffer, 0xFF, sizeof kReadyReply);
    if (greeted) serial::readSome(ioBuffer, sizeof kReadyReply);
    if (greeted && std::memcmp(ioBuffer, kReadyReply, sizeof kReadyReply) == 0) return true;
    sendText(kExitRequest);
    serial::closePort();
    return false;
}

int32_t finishEnter()
{
    if (!handshake()) return 4;
    inDumpMode = true;
    return 24;
}

bool showsBanner(const uint8_t *bytes, int count)
{
    // The bytes count as text up to the first NUL.
    const auto *nul = static_cast<const uint8_t *>(std::memchr(bytes, 0, static_cast<size_t>(count)));
    const size_t length = nul != nullptr ? static_cast<size_t>(nul - bytes) : static_cast<size_t>(count);
    const size_t bannerLength = sizeof kBanner - 1;
    if (length < bannerLength) return false;
    for (size_t i = 0; i + bannerLength <= length; ++i)
        if (std::memcmp(bytes + i, kBanner, bannerLength) == 0) return true;
    return false;
}

}  // namespace

int32_t enterOnPort(uint8_t comNumber)
{
    if (inDumpMode) return 3;
    const auto outcome = serial::openPort(comNumber, kBaudRate);
    if (outcome == serial::OpenOutcome::cannotOpen) return 3;
    if (outcome == serial::OpenOutcome::settingsRefused) {
        serial::closePort();
        return 3;
    }
    serial::readSome(ioBuffer, 32);  // the banner, or whatever comes: discarded
    return finishEnter();
}

int32_t enterByScan()
{
    if (inDumpMode) return 3;
    uint8_t firstRead[32];
    bool found = false;
    serial::OpenOutcome foundOutcome = serial::OpenOutcome::cannotOpen;
    for (int port = kFirstPortToScan; port <= kLastPortToScan; ++port) {
        const auto outcome = serial::openPort(port, kBaudRate);
        if (outcome == serial::OpenOutcome::cannotOpen) continue;
        const int count = serial::readSome(firstRead, sizeof firstRead);
        if (count > 0 && showsBanner(firstRead, count)) {
            detectedPort = port;
            foundOutcome = outcome;
            found = true;
            break;
        }
        serial::closePort();
    }
    if (!found) {
        detectedPort = 0;
        return 3;
    }
    if (foundOutcome == serial::OpenOutcome::settingsRefused) {
        serial::closePort();
        return 3;
    }
    return finishEnter();
}

int32_t leave()
{
    if (inDumpMode) {
        sendText(kExitRequest);
        serial::closePort();
        inDumpMode = false;
    }
    return 25;
}

void dropConnection()
{
    serial::closePort();
    inDumpMode = false;
}

bool sendCommand(Command command, uint32_t argument, uint8_t parameter)
{
    // Whatever is still waiting in the input belongs to an earlier exchange
    // (a reply cut short, a late end marker); it must not be taken for the
    // answer to this command.
    serial::discardInput();
    ioBuffer[0] = command.code0;
    ioBuffer[1] = command.code1;
    for (int i = 0; i < 4; ++i) ioBuffer[2 + i] = static_cast<uint8_t>(argument >> (8 * i));
    ioBuffer[6] = parameter;
    return serial::writeAll(ioBuffer, 7);
}

bool waitEndMarker(int tickLimit)
{
    serial::TickCount ticks(tickLimit);
    for (;;) {
        // A short read must not be completed into a marker by bytes of an
        // earlier reply still in the buffer (a marker without its zero byte
        // behind a reply that ended in one).
        std::memset(ioBuffer, 0xFF, kEndMarkerSize);
        const int count = serial::readSome(ioBuffer, kEndMarkerSize);
        if (count > 0 && std::memcmp(ioBuffer, kEndMarker, kEndMarkerSize) == 0) return true;
        if (ticks.expiredAfterPoll()) return false;
    }
}

bool isAcceptedMemorySize(uint32_t size)
{
    return size == 0x400000 || size == 0x800000 || size == 0x1000000 || size == 0x2000000;
}

int32_t queryMemorySize()
{
    constexpr int32_t kAssumedSize = 0x400000;
    if (!sendCommand(CMD_READ_MEMORY_SIZE)) {
        memorySize = kAssumedSize;
        return memorySize;
    }
    serial::TickCount ticks(2);
    for (;;) {
        if (serial::readSome(ioBuffer, 4) > 0) {
            const uint32_t value = static_cast<uint32_t>(ioBuffer[0]) | static_cast<uint32_t>(ioBuffer[1]) << 8 |
                                   static_cast<uint32_t>(ioBuffer[2]) << 16 | static_cast<uint32_t>(ioBuffer[3]) << 24;
            if (isAcceptedMemorySize(value)) {
                memorySize = static_cast<int32_t>(value);
                return memorySize;
            }
        }
        if (ticks.expiredAfterPoll()) {
            memorySize = kAssumedSize;
            return memorySize;
        }
    }
}

}  // namespace trk7700::dumpmode
