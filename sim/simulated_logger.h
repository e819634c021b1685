#pragma once
// The simulated TRK-7700: a pseudo-terminal whose far end behaves as the
// logger does. It keeps the device's state, answers every command of the dump
// mode, records what it received, paces its output at a baud rate or runs
// unpaced, and can inject faults. Replies are built here with the simulator's
// own encoder, never with the library's code.
#include "sim/transcript.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trk7700::sim {

inline constexpr size_t kLogImageSize = 3997696;  // 249,856 records of 16 bytes
inline constexpr size_t kSettingsRecordSize = 256;
inline constexpr size_t kFirmwareImageSize = 65536;

struct GpsTime {
    uint8_t hour = 12, minute = 34, second = 56, year = 26, month = 12, day = 9;
};

// Everything the logger keeps.
struct DeviceState {
    std::vector<uint8_t> logImage = std::vector<uint8_t>(kLogImageSize, 0xFF);
    std::array<uint8_t, kSettingsRecordSize> settingsRecord {};
    std::vector<uint8_t> voiceData;
    std::vector<uint8_t> lastFirmwareImage;
    uint32_t serialNumber = 12345;
    uint8_t firmwareVersion = 0x0A;        // bits 7..3 major, 2..0 minor: 1.2
    uint8_t secondVersion = 0x0A;          // 0xFF marks the information invalid
    uint32_t memorySizeReply = 0x400000;   // what the memory-size command answers
    bool gpsHasTime = true;
    GpsTime gpsTime;
    int eraseMilliseconds = 30;            // how long an erase takes
    int settingsUploads = 0;
    int firmwareUploads = 0;
    int erases = 0;

    DeviceState();
};

// Where a fault strikes.
enum class FaultTarget : int {
    anyReply = -1,
    banner = 0x100,
    handshake = 0x101,
    // or a command's first code byte (0x60 dump, 0x61 erase, 0x62 settings,
    // 0x63 memory size, 0x55 data upload, 0x5D firmware, 0x5B information, 0x64 GPS time)
};

enum class FaultKind {
    silence,            // the reply is not sent at all
    // stall, hangup and shortReply strike inside the end marker of a reply
    // that is the end marker alone (the erase's)
    stall,              // a pause of pauseMs at byte atByte of the reply's payload
    hangup,             // the device vanishes at byte atByte (the port then fails)
    garbage,            // garbageCount stray bytes before the reply
    shortReply,         // the payload ends after atByte bytes
    splitEndMarker,     // the end marker comes as 10 bytes, a pause, then 5
    noEndMarker,        // the end marker is left out
    noTerminatingZero,  // texts (ready reply, verdicts, end marker) lose their NUL
    checksumError,      // an upload is answered "Checksum Error" whatever it held
    noVerdict,          // an upload gets neither verdict nor end marker
    nulBeforeBanner,    // a zero byte precedes the banner
    endMarkerOnly,      // an upload is answered with the end marker alone, no checksum text
    lateReply,          // the whole reply comes only after pauseMs
    strayBytes,         // garbageCount stray bytes (line noise) inside the reply, before payload byte
                        // atByte (0: the middle; the payload's size: just before the end marker);
                        // for the banner: right behind it
    lateEndMarker,      // the end marker comes pauseMs after the payload
};

struct Fault {
    FaultKind kind;
    int target = static_cast<int>(FaultTarget::anyReply);
    size_t atByte = 0;       // for stall, hangup, shortReply; 0 means the middle
    int pauseMs = 300;       // for stall, splitEndMarker and lateReply; for hangup the time
                             // between the last byte and the hang-up (bytes still unread then are lost)
    size_t garbageCount = 7;
};

// One event seen on the wire, decoded by the simulator.
struct WireEvent {
    enum class Kind { greeting, exitRequest, command, uploadPayload, stray } kind;
    std::vector<uint8_t> bytes;
};

class SimulatedLogger {
public:
    struct Options {
        std::string portDirectory;   // where the COM<n> entry is made
        int comNumber = 3;
        long baudRate = 0;           // 0: unpaced; else bytes/s = baud / 10 (8N1)
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

    std::string portEntry() const;     // the COM<n> link
    std::string slavePath() const;     // the pseudo-terminal it points to

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

    int openCount() const { return openCount_.load(); }
    bool portOpenNow() const { return slaveOpen_.load(); }
    bool inDumpMode() const;
    // Bytes of the reply stream written so far (all replies together).
    uint64_t bytesSent() const { return bytesSent_.load(); }

private:
    struct Chunk;
    struct Impl;
    void run();

    Options options_;
    Impl *impl_;
    std::thread thread_;
    std::atomic<bool> stopping_ {false};
    std::atomic<int> openCount_ {0};
    std::atomic<bool> slaveOpen_ {false};
    std::atomic<uint64_t> bytesSent_ {0};
};

}  // namespace trk7700::sim
