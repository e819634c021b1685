#pragma once
// The simulated TRK-7700: a pseudo-terminal whose far end behaves as the
// logger does. It keeps the device's state, answers every command of the dump
// mode, records what it received, paces its output at a baud rate or runs
// unpaced, and can inject faults. Three parts make it: the device model
// (state and answers), the reply shaper (faults) and the pseudo-terminal loop.
#include "sim/device_model.h"
#include "sim/reply_shaper.h"
#include "sim/transcript.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trk7700::sim {

class SimulatedLogger {
public:
    struct Options {
        std::string portDirectory;  // where the COM<n> entry is made
        int comNumber = 3;
        long baudRate = 0;  // 0: unpaced; else bytes/s = baud / 10 (8N1)
        bool sendBanner = true;
        // When set, the logger is the recorded one: every open starts the next
        // session (the last one again once all were played), and each request
        // gets the reply recorded for it, whatever the state says.
        std::vector<RecordedSession> replay;
    };

    explicit SimulatedLogger(Options options);
    ~SimulatedLogger();
    SimulatedLogger(const SimulatedLogger &) = delete;
    SimulatedLogger &operator=(const SimulatedLogger &) = delete;

    void start();
    void stop();

    std::string portEntry() const;  // the COM<n> link
    std::string slavePath() const;  // the pseudo-terminal it points to

    // Device state, under the simulator's lock.
    void withState(const std::function<void(DeviceState &)> &change);
    DeviceState snapshot() const;

    void setFaults(std::vector<Fault> faults);
    void clearFaults() { setFaults({}); }
    void setBaudRate(long baudRate);

    // What arrived from the computer since the start or the last clear.
    std::vector<uint8_t> receivedBytes() const;
    std::vector<WireEvent> events() const;
    void clearReceived();

    int openCount() const;
    bool portOpenNow() const;
    bool inDumpMode() const;
    // Bytes of the reply stream written so far (all replies together).
    uint64_t bytesSent() const;

private:
    struct Impl;

    Options options_;
    Impl *impl_;
};

}  // namespace trk7700::sim
