#pragma once
// The simulated logger's port: a pseudo-terminal reachable through a COM<n>
// entry, served on a thread of its own. It notices every open and close of
// the port, hands what arrives to the device model, and writes the model's
// output chunks with their pauses and hang-ups, paced at the baud rate
// against absolute deadlines.
#include "sim/device_model.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace trk7700::sim {

class PtyLoop {
public:
    // The loop's thread works on the model under lock; whoever else touches
    // the model, slavePath() or setBaudRate() holds it too.
    PtyLoop(std::mutex &lock, DeviceModel &model, long baudRate);
    ~PtyLoop();
    PtyLoop(const PtyLoop &) = delete;
    PtyLoop &operator=(const PtyLoop &) = delete;

    // Makes the pseudo-terminal, links entryPath to it and starts serving.
    void start(const std::string &entryPath);
    void stop();

    const std::string &entryPath() const { return entryPath_; }
    std::string slavePath() const { return slavePath_; }       // under the lock: a hang-up makes a new one
    void setBaudRate(long baudRate) { baudRate_ = baudRate; }  // under the lock

    int openCount() const { return openCount_.load(); }
    bool portOpenNow() const { return portOpen_.load(); }
    uint64_t bytesSent() const { return bytesSent_.load(); }

private:
    using Clock = std::chrono::steady_clock;

    struct PendingChunk {
        OutputChunk chunk;
        size_t offset = 0;  // bytes of it written so far
        bool pauseStarted = false;
        Clock::time_point notBefore{};
    };

    void run();
    // Writes what is due; lowers wakeAt to the next deadline and sets
    // wantWrite when the port's buffer is full.
    void writeDueOutput(Clock::time_point &wakeAt, bool &wantWrite);
    void portOpened();
    void portClosed();
    void vanish();
    void take(LineActions actions);

    std::mutex &lock_;
    DeviceModel &model_;
    long baudRate_;  // 0: unpaced; else bytes/s = baud / 10 (8N1)

    int masterFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::string slavePath_;
    std::string entryPath_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> openCount_{0};
    std::atomic<bool> portOpen_{false};
    std::atomic<uint64_t> bytesSent_{0};

    std::deque<PendingChunk> output_;
    Clock::time_point pacingStart_{};
    uint64_t pacedBytes_ = 0;
    bool pacingIdle_ = true;  // the next byte starts a new paced run
};

}  // namespace trk7700::sim
