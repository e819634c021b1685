#include "serial/serial_link.h"

#include "frame/trace.h"

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
// and the most that waiting for quiet may take (a logger that streams on).
constexpr int kQuietAfterUnansweredMs = 300;
constexpr int kLongestQuietWaitMs = 2000;

void noteState(DeviceState state)
{
    if (state == DeviceState::gone && !lost) {
        lost = true;
        trace::note("the port hung up");
    }
}

const char *outcomeText(OpenOutcome outcome)
{
    switch (outcome) {
    case OpenOutcome::opened: return "opened";
    case OpenOutcome::cannotOpen: return "cannot be opened";
    case OpenOutcome::settingsRefused: return "refused the line settings";
    }
    return "";
}

}  // namespace

OpenOutcome openPort(int comNumber, int baudRate)
{
    closePort();
    OpenOutcome outcome = OpenOutcome::cannotOpen;
    if (standIn != nullptr) {
        standInOpen = standIn->accepts(comNumber);
        outcome = standInOpen ? OpenOutcome::opened : OpenOutcome::cannotOpen;
    } else {
        outcome = openDevice(comNumber, baudRate);
    }
    if (trace::enabled()) trace::note("COM" + std::to_string(comNumber) + " " + outcomeText(outcome));
    return outcome;
}

void closePort()
{
    if (portIsOpen()) trace::note("close");
    standInOpen = false;
    lost = false;
    stragglersExpected = false;
    closeDevice(false);
}

void closePortAsFound()
{
    if (portIsOpen()) trace::note("close, line settings as found");
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
        const int got = count > 0 ? std::clamp(standIn->read(destination, count), 0, count) : 0;
        trace::received(destination, got);
        return got;
    }
    if (lost || count <= 0) return 0;
    if (!deviceIsOpen()) {
        // No port: nothing can come, but a caller's wait keeps its pace.
        std::this_thread::sleep_for(std::chrono::milliseconds(readTimeoutMs));
        return 0;
    }
    const DeviceRead read = readDevice(destination, count, readTimeoutMs);
    trace::received(destination, read.count);
    noteState(read.state);
    return read.count;
}

bool writeAll(const uint8_t *source, int count)
{
    if (count <= 0) return true;
    trace::sent(source, count);
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
    drainUntilQuiet(kQuietAfterUnansweredMs);
}

void drainUntilQuiet(int quietMs)
{
    if (standInOpen || lost || !deviceIsOpen()) return;
    using Clock = std::chrono::steady_clock;
    uint8_t drain[256];
    const auto giveUp = Clock::now() + std::chrono::milliseconds(kLongestQuietWaitMs);
    auto quietSince = Clock::now();
    while (Clock::now() < giveUp) {
        const DeviceRead read = readDevice(drain, sizeof drain, std::min(readTimeoutMs, quietMs));
        trace::received(drain, read.count);
        noteState(read.state);
        if (lost) return;
        const auto now = Clock::now();
        if (read.count > 0)
            quietSince = now;
        else if (now - quietSince >= std::chrono::milliseconds(quietMs))
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
