#include "dumpmode/dump_mode.h"

#include "TRK7700_DLL.h"
#include "frame/link_state.h"
#include "frame/little_endian.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <algorithm>
#include <cstring>

namespace trk7700::dumpmode {

namespace {

LinkState::DumpMode &dumpMode() { return linkState().dumpMode; }

// Quiet on the line after the banner before the greeting goes out.
constexpr int kQuietBeforeGreetingMs = 40;

constexpr int kFirstPortToScan = 0;
constexpr int kLastPortToScan = 256;

bool sendText(const char *text)
{
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    const int size = static_cast<int>(std::strlen(text)) + 1;
    std::memcpy(ioBuffer, text, static_cast<size_t>(size));
    return serial::writeAll(ioBuffer, size);
}

// Greeting, ready reply; on any difference the exit request is sent and the
// port closed. A greeting the port did not take has no reply.
bool handshake()
{
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    const bool greeted = sendText(kGreeting);
    std::memset(ioBuffer, 0xFF, sizeof kReadyReply);
    if (greeted) serial::readSome(ioBuffer, sizeof kReadyReply);
    if (greeted && std::memcmp(ioBuffer, kReadyReply, sizeof kReadyReply) == 0) return true;
    sendText(kExitRequest);
    serial::closePort();
    return false;
}

TRK7700_Result finishEnter()
{
    // A logger still sending after an interrupted session (the rest of a
    // reply, a stream) must not be taken for the ready reply.
    serial::drainUntilQuiet(kQuietBeforeGreetingMs);
    if (!handshake()) return return_into_dump_mode_fail;
    dumpMode().inDumpMode = true;
    return return_into_dump_mode_successful;
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

TRK7700_Result enterOnPort(uint8_t comNumber)
{
    if (dumpMode().inDumpMode) return return_can_not_open_com_port;
    const auto outcome = serial::openPort(comNumber, kBaudRate);
    if (outcome == serial::OpenOutcome::cannotOpen) return return_can_not_open_com_port;
    if (outcome == serial::OpenOutcome::settingsRefused) {
        serial::closePortAsFound();
        return return_can_not_open_com_port;
    }
    serial::readSome(linkState().port.ioBuffer, 32);  // the banner, or whatever comes: discarded
    return finishEnter();
}

TRK7700_Result enterByScan()
{
    if (dumpMode().inDumpMode) return return_can_not_open_com_port;
    uint8_t firstRead[32];
    bool found = false;
    serial::OpenOutcome foundOutcome = serial::OpenOutcome::cannotOpen;
    for (int port = kFirstPortToScan; port <= kLastPortToScan; ++port) {
        const auto outcome = serial::openPort(port, kBaudRate);
        if (outcome == serial::OpenOutcome::cannotOpen) continue;
        const int count = serial::readSome(firstRead, sizeof firstRead);
        if (count > 0 && showsBanner(firstRead, count)) {
            dumpMode().detectedPort = port;
            foundOutcome = outcome;
            found = true;
            break;
        }
        // Another program's device is left with the settings it had.
        serial::closePortAsFound();
    }
    if (!found) {
        dumpMode().detectedPort = 0;
        return return_can_not_open_com_port;
    }
    if (foundOutcome == serial::OpenOutcome::settingsRefused) {
        serial::closePortAsFound();
        return return_can_not_open_com_port;
    }
    return finishEnter();
}

TRK7700_Result leave()
{
    if (dumpMode().inDumpMode) {
        sendText(kExitRequest);
        serial::closePort();
        dumpMode().inDumpMode = false;
    }
    return return_exit_dump_mode;
}

void dropConnection()
{
    serial::closePort();
    dumpMode().inDumpMode = false;
}

bool sendCommand(Command command, uint32_t argument, uint8_t parameter)
{
    // Whatever is still waiting in the input belongs to an earlier exchange
    // (a reply cut short, a late end marker); it must not be taken for the
    // answer to this command.
    serial::discardInput();
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    ioBuffer[0] = command.code0;
    ioBuffer[1] = command.code1;
    putLittleEndian32(ioBuffer + 2, argument);
    ioBuffer[6] = parameter;
    return serial::writeAll(ioBuffer, 7);
}

int readUntilEndMarker(int have, int maxPayload, int tickLimit)
{
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    const int longest = std::min(maxPayload + kEndMarkerSize, serial::kIoBufferSize);
    int total = std::clamp(have, 0, longest);
    // The first marker ends the reply; whatever follows it belongs to nobody.
    const auto markerAt = [&] {
        for (int at = 0; at + kEndMarkerSize <= total && at <= maxPayload; ++at)
            if (std::memcmp(ioBuffer + at, kEndMarker, kEndMarkerSize) == 0) return at;
        return -1;
    };
    serial::TickCount ticks(tickLimit);
    for (;;) {
        if (const int at = markerAt(); at >= 0) return at;
        if (total >= longest) return -1;
        // Never more than the reply can still hold, so that no byte of a later
        // one is taken.
        total += serial::readSome(ioBuffer + total, longest - total);
        if (markerAt() < 0 && ticks.expiredAfterPoll()) return -1;
    }
}

bool waitEndMarker(int tickLimit)
{
    return readUntilEndMarker(0, serial::kIoBufferSize - kEndMarkerSize, tickLimit) >= 0;
}

void afterOperation(int32_t result)
{
    if (serial::linkLost()) {
        dropConnection();
        return;
    }
    switch (result) {
    case return_device_time_out:
    case return_device_information_invalid:
    case return_device_information_no_answer:
    case return_read_gps_utc_time_invalid: serial::expectStragglers(); break;
    default: break;
    }
}

bool isAcceptedMemorySize(uint32_t size)
{
    return size == 0x400000 || size == 0x800000 || size == 0x1000000 || size == 0x2000000;
}

int32_t queryMemorySize()
{
    constexpr int32_t kAssumedSize = 0x400000;
    int32_t &memorySize = dumpMode().memorySize;
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    if (!sendCommand(CMD_READ_MEMORY_SIZE)) {
        memorySize = kAssumedSize;
        return memorySize;
    }
    serial::TickCount ticks(2);
    for (;;) {
        if (serial::readSome(ioBuffer, 4) > 0) {
            const uint32_t value = littleEndian32(ioBuffer);
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
