#pragma once
// The simulated logger's device model: what the TRK-7700 keeps and how it
// answers. It decodes the bytes that arrive on its port (greeting, exit
// request, command frames, upload payloads), changes its state as the device
// would, and says what goes out in answer: each reply is built from its parts
// and shaped by the faults in force. It knows nothing of ports or time; the
// pseudo-terminal loop feeds it and writes what it answers. Replies are built
// with the simulator's own encoder, never with the library's code.
#include "sim/reply_shaper.h"
#include "sim/transcript.h"

#include <array>
#include <cstddef>
#include <cstdint>
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
    std::array<uint8_t, kSettingsRecordSize> settingsRecord{};
    std::vector<uint8_t> voiceData;
    std::vector<uint8_t> lastFirmwareImage;
    uint32_t serialNumber = 12345;
    uint8_t firmwareVersion = 0x0A;       // bits 7..3 major, 2..0 minor: 1.2
    uint8_t secondVersion = 0x0A;         // 0xFF marks the information invalid
    uint32_t memorySizeReply = 0x400000;  // what the memory-size command answers
    bool gpsHasTime = true;
    GpsTime gpsTime;
    int eraseMilliseconds = 30;  // how long an erase takes
    int settingsUploads = 0;
    int firmwareUploads = 0;
    int erases = 0;

    DeviceState();
};

// One event seen on the wire, decoded by the simulator.
struct WireEvent {
    enum class Kind { greeting, exitRequest, command, uploadPayload, stray } kind;
    std::vector<uint8_t> bytes;
};

// What the logger does on the line in answer to something on its port.
struct LineActions {
    bool dropPending = false;         // an exit ends whatever stream was still going out
    std::vector<OutputChunk> chunks;  // then these go out, in order
};

class DeviceModel {
public:
    // With recorded sessions the model is the recorded logger: every open
    // starts the next session (the last one again once all were played), and
    // each request gets the reply recorded for it, whatever the state says.
    DeviceModel(bool sendBanner, std::vector<RecordedSession> replay);

    LineActions portOpened();
    LineActions received(const uint8_t *data, size_t size);
    void portClosed();  // the opener closed the port, or the device vanished

    DeviceState &state() { return state_; }
    void setFaults(std::vector<Fault> faults) { faults_ = std::move(faults); }
    bool inDumpMode() const { return dumpMode_; }

    // What arrived since the start or the last clear.
    const std::vector<uint8_t> &receivedBytes() const { return received_; }
    const std::vector<WireEvent> &events() const { return events_; }
    void clearReceived();

private:
    void decodeInput(LineActions &actions);
    void replayInput(LineActions &actions);
    void answerCommand(const uint8_t *frame, LineActions &actions);
    void finishUpload(LineActions &actions);
    // Shapes the reply by the faults in force and queues it; tells whether
    // the logger's verdict, for an upload, accepts it.
    bool send(const Reply &reply, LineActions &actions) const;

    const bool sendBanner_;
    const std::vector<RecordedSession> replay_;
    size_t replaySession_ = 0;
    size_t replayExchange_ = 0;

    DeviceState state_;
    std::vector<Fault> faults_;
    std::vector<uint8_t> received_;
    std::vector<WireEvent> events_;

    bool dumpMode_ = false;
    std::vector<uint8_t> input_;  // received, not yet decoded
    bool receivingUpload_ = false;
    uint8_t uploadCode_ = 0;
    size_t uploadLength_ = 0;
    uint8_t uploadChecksum_ = 0;
    std::vector<uint8_t> uploadData_;
};

}  // namespace trk7700::sim
