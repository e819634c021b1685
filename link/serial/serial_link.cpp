#include "serial/serial_link.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace trk7700::serial {

uint8_t ioBuffer[kIoBufferSize];

namespace {

int readTimeoutMs = 100;
PortStandIn *standIn = nullptr;
bool standInOpen = false;
bool lost = false;
bool stragglersExpected = false;

// How long the line must stay quiet before a request after an unanswered one,
// and the most that waiting for that may take (a logger that streams on).
constexpr int kQuietBeforeRequestMs = 150;
constexpr int kLongestStragglerWaitMs = 2000;

void noteState(DeviceState state)
{
    if (state == DeviceState::gone) lost = true;
}

}  // namespace

OpenOutcome openPort(int comNumber, int baudRate)
{
    closePort();
    if (standIn != nullptr) {
        standInOpen = standIn->accepts(comNumber);
        return standInOpen ? OpenOutcome::opened : OpenOutcome::cannotOpen;
    }
    return openDevice(comNumber, baudRate);
}

void closePort()
{
    standInOpen = false;
    lost = false;
    stragglersExpected = false;
    closeDevice(false);
}

void closePortAsFound()
{
    standInOpen = false;
    lost = false;
    stragglersExpected = false;
    closeDevice(true);
}

bool portIsOpen() { return deviceIsOpen() || standInOpen; }

bool linkLost()
{
    if (standInOpen && standIn->hungUp()) lost = true;
    return lost;
}

int readSome(uint8_t *destination, int count)
{
    if (standInOpen) {
        if (linkLost()) return 0;
        return count > 0 ? std::clamp(standIn->read(destination, count), 0, count) : 0;
    }
    if (lost || count <= 0) return 0;
    if (!deviceIsOpen()) {
        // No port: nothing can come, but a caller's wait keeps its pace.
        std::this_thread::sleep_for(std::chrono::milliseconds(readTimeoutMs));
        return 0;
    }
    const DeviceRead read = readDevice(destination, count, readTimeoutMs);
    noteState(read.state);
    return read.count;
}

bool writeAll(const uint8_t *source, int count)
{
    if (count <= 0) return true;
    if (standInOpen) return !linkLost() && standIn->write(source, count);
    if (lost) return false;
    DeviceState state = DeviceState::working;
    const bool written = writeDevice(source, count, readTimeoutMs, state);
    noteState(state);
    return written;
}

void discardInput()
{
    if (standInOpen || lost) return;
    discardDeviceInput();
    if (!stragglersExpected) return;
    stragglersExpected = false;
    uint8_t drain[256];
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongestStragglerWaitMs);
    auto quietSince = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < giveUp) {
        const DeviceRead read = readDevice(drain, sizeof drain, std::min(readTimeoutMs, kQuietBeforeRequestMs));
        noteState(read.state);
        if (lost) return;
        const auto now = std::chrono::steady_clock::now();
        if (read.count > 0)
            quietSince = now;
        else if (now - quietSince >= std::chrono::milliseconds(kQuietBeforeRequestMs))
            return;
    }
}

void expectStragglers() { stragglersExpected = true; }

void setReadTimeoutForTesting(int milliseconds) { readTimeoutMs = milliseconds > 0 ? milliseconds : 100; }
int readTimeoutMilliseconds() { return readTimeoutMs; }

void setPortStandInForTesting(PortStandIn *replacement)
{
    standIn = replacement;
    standInOpen = false;
}

}  // namespace trk7700::serial
