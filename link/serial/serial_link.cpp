#include "serial/serial_link.h"

#include "frame/link_state.h"
#include "frame/trace.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace trk7700::serial {

namespace {

LinkState::Port &port() { return linkState().port; }
PortStandIn *standIn() { return linkState().testHooks.portStandIn; }

// How long the line must stay quiet before a request after an unanswered one,
// and the most that waiting for quiet may take (a logger that streams on).
constexpr int kQuietAfterUnansweredMs = 300;
constexpr int kLongestQuietWaitMs = 2000;

void noteState(DeviceState state)
{
    if (state == DeviceState::gone && !port().lost) {
        port().lost = true;
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
    if (standIn() != nullptr) {
        port().standInOpen = standIn()->accepts(comNumber);
        outcome = port().standInOpen ? OpenOutcome::opened : OpenOutcome::cannotOpen;
    } else {
        outcome = openDevice(comNumber, baudRate);
    }
    if (trace::enabled()) trace::note("COM" + std::to_string(comNumber) + " " + outcomeText(outcome));
    return outcome;
}

void closePort()
{
    if (portIsOpen()) trace::note("close");
    port().standInOpen = false;
    port().lost = false;
    port().stragglersExpected = false;
    closeDevice(false);
}

void closePortAsFound()
{
    if (portIsOpen()) trace::note("close, line settings as found");
    port().standInOpen = false;
    port().lost = false;
    port().stragglersExpected = false;
    closeDevice(true);
}

bool portIsOpen() { return deviceIsOpen() || port().standInOpen; }

bool linkLost()
{
    if (port().standInOpen && standIn()->hungUp()) port().lost = true;
    return port().lost;
}

int readSome(uint8_t *destination, int count)
{
    if (port().standInOpen) {
        if (linkLost()) return 0;
        const int got = count > 0 ? std::clamp(standIn()->read(destination, count), 0, count) : 0;
        trace::received(destination, got);
        return got;
    }
    if (port().lost || count <= 0) return 0;
    if (!deviceIsOpen()) {
        // No port: nothing can come, but a caller's wait keeps its pace.
        std::this_thread::sleep_for(std::chrono::milliseconds(readTimeoutMilliseconds()));
        return 0;
    }
    const DeviceRead read = readDevice(destination, count, readTimeoutMilliseconds());
    trace::received(destination, read.count);
    noteState(read.state);
    return read.count;
}

bool writeAll(const uint8_t *source, int count)
{
    if (count <= 0) return true;
    trace::sent(source, count);
    if (port().standInOpen) return !linkLost() && standIn()->write(source, count);
    if (port().lost) return false;
    DeviceState state = DeviceState::working;
    const bool written = writeDevice(source, count, readTimeoutMilliseconds(), state);
    noteState(state);
    return written;
}

void discardInput()
{
    if (port().standInOpen || port().lost) return;
    discardDeviceInput();
    if (!port().stragglersExpected) return;
    port().stragglersExpected = false;
    drainUntilQuiet(kQuietAfterUnansweredMs);
}

void drainUntilQuiet(int quietMs)
{
    if (port().standInOpen || port().lost || !deviceIsOpen()) return;
    using Clock = std::chrono::steady_clock;
    uint8_t drain[256];
    const auto giveUp = Clock::now() + std::chrono::milliseconds(kLongestQuietWaitMs);
    auto quietSince = Clock::now();
    while (Clock::now() < giveUp) {
        const DeviceRead read = readDevice(drain, sizeof drain, std::min(readTimeoutMilliseconds(), quietMs));
        trace::received(drain, read.count);
        noteState(read.state);
        if (port().lost) return;
        const auto now = Clock::now();
        if (read.count > 0)
            quietSince = now;
        else if (now - quietSince >= std::chrono::milliseconds(quietMs))
            return;
    }
}

void expectStragglers() { port().stragglersExpected = true; }

int readTimeoutMilliseconds()
{
    const int set = linkState().testHooks.readTimeoutMs;
    return set > 0 ? set : 100;
}

}  // namespace trk7700::serial
