#include "sim/device_model.h"

#include "sim/logger_texts.h"

#include <algorithm>

namespace trk7700::sim {
namespace {

constexpr size_t kMaxUpload = 1u << 20;
constexpr size_t kMaxRecorded = 64u << 20;
constexpr size_t kFrameSize = 7;

void putLittleEndian32(std::vector<uint8_t> &out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t littleEndian32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void dropFront(std::vector<uint8_t> &bytes, size_t count)
{
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(count));
}

}  // namespace

DeviceState::DeviceState()
{
    settingsRecord.fill(0xFF);
    // Factory settings: a fix every 5 seconds, tag button on, vibration off.
    settingsRecord[0] = 5;
    settingsRecord[1] = settingsRecord[2] = settingsRecord[3] = 0;
    settingsRecord[8] = 0;
    settingsRecord[24] = 1;
    settingsRecord[25] = 0;
}

DeviceModel::DeviceModel(bool sendBanner, std::vector<RecordedSession> replay)
    : sendBanner_(sendBanner), replay_(std::move(replay))
{
}

void DeviceModel::clearReceived()
{
    received_.clear();
    events_.clear();
}

bool DeviceModel::send(const Reply &reply, LineActions &actions) const
{
    ShapedReply shaped = shapeReply(reply, faults_);
    for (auto &chunk : shaped.chunks) actions.chunks.push_back(std::move(chunk));
    return shaped.acceptsUpload;
}

LineActions DeviceModel::portOpened()
{
    dumpMode_ = false;
    input_.clear();
    receivingUpload_ = false;
    LineActions actions;
    if (!replay_.empty()) {
        replaySession_ = std::min(replaySession_ + 1, replay_.size());
        replayExchange_ = 0;
        const auto &opening = replay_[replaySession_ - 1].onOpen;
        if (!opening.empty()) actions.chunks.push_back({opening});
        return actions;
    }
    if (sendBanner_) send({static_cast<int>(FaultTarget::banner), {ReplyPart::banner()}}, actions);
    return actions;
}

void DeviceModel::portClosed()
{
    input_.clear();
    receivingUpload_ = false;
    dumpMode_ = false;
}

LineActions DeviceModel::received(const uint8_t *data, size_t size)
{
    if (received_.size() < kMaxRecorded) received_.insert(received_.end(), data, data + size);
    input_.insert(input_.end(), data, data + size);
    LineActions actions;
    if (replay_.empty())
        decodeInput(actions);
    else
        replayInput(actions);
    return actions;
}

// Requests are counted off by their recorded length and answered with the
// recorded reply.
void DeviceModel::replayInput(LineActions &actions)
{
    const auto &session = replay_[std::min(replaySession_, replay_.size()) - 1];
    while (replayExchange_ < session.exchanges.size()) {
        const RecordedExchange &next = session.exchanges[replayExchange_];
        if (input_.size() < next.request.size()) return;
        events_.push_back({WireEvent::Kind::command, next.request});
        dropFront(input_, next.request.size());
        if (!next.reply.empty()) actions.chunks.push_back({next.reply});
        ++replayExchange_;
    }
    input_.clear();
}

// Consumes what can be decoded from the input.
void DeviceModel::decodeInput(LineActions &actions)
{
    for (;;) {
        auto &in = input_;
        if (in.empty()) return;
        if (receivingUpload_) {
            const size_t take = std::min(in.size(), uploadLength_ - uploadData_.size());
            uploadData_.insert(uploadData_.end(), in.begin(), in.begin() + static_cast<long>(take));
            dropFront(in, take);
            if (uploadData_.size() == uploadLength_) finishUpload(actions);
            continue;
        }
        if (in[0] == 'Q') {
            if (in.size() < 2) return;
            const bool greeting = in[1] == '\'';
            const std::string &text = greeting ? kGreetingText : kExitText;
            if (in.size() < text.size()) return;
            if (std::equal(text.begin(), text.end(), in.begin())) {
                events_.push_back({greeting ? WireEvent::Kind::greeting : WireEvent::Kind::exitRequest,
                                   std::vector<uint8_t>(in.begin(), in.begin() + static_cast<long>(text.size()))});
                dropFront(in, text.size());
                if (greeting) {
                    dumpMode_ = true;
                    send({static_cast<int>(FaultTarget::handshake), {ReplyPart::text(kReadyText)}}, actions);
                } else {
                    dumpMode_ = false;
                    // An exit ends whatever stream was running.
                    actions.dropPending = true;
                    actions.chunks.clear();
                }
                continue;
            }
        }
        if (dumpMode_ && in[0] != 'Q') {
            if (in.size() < kFrameSize) return;
            const std::vector<uint8_t> frame(in.begin(), in.begin() + kFrameSize);
            dropFront(in, kFrameSize);
            answerCommand(frame.data(), actions);
            continue;
        }
        events_.push_back({WireEvent::Kind::stray, {in[0]}});
        dropFront(in, 1);
    }
}

void DeviceModel::answerCommand(const uint8_t *frame, LineActions &actions)
{
    events_.push_back({WireEvent::Kind::command, std::vector<uint8_t>(frame, frame + kFrameSize)});
    const uint8_t code = frame[0];
    const uint8_t code1 = frame[1];
    const uint32_t argument = littleEndian32(frame + 2);
    Reply reply{code, {}};
    auto &parts = reply.parts;
    if (code == 0x60 && code1 == 0xB5) {
        parts.push_back(ReplyPart::payload(state_.logImage));
        parts.push_back(ReplyPart::endMarker());
    } else if (code == 0x61 && code1 == 0xB6) {
        std::fill(state_.logImage.begin(), state_.logImage.end(), 0xFF);
        ++state_.erases;
        parts.push_back(ReplyPart::endMarker(state_.eraseMilliseconds));
    } else if (code == 0x63 && code1 == 0xB7) {
        std::vector<uint8_t> size(4);
        putLittleEndian32(size, 0, state_.memorySizeReply);
        parts.push_back(ReplyPart::payload(size));
    } else if (code == 0x62 && code1 == 0xB6) {
        parts.push_back(ReplyPart::payload({state_.settingsRecord.begin(), state_.settingsRecord.end()}));
        parts.push_back(ReplyPart::endMarker());
    } else if ((code == 0x55 && code1 == 0xAA) || (code == 0x5D && code1 == 0xB2)) {
        // The upload's header: its payload follows, and only then the reply.
        if (argument > 0 && argument <= kMaxUpload) {
            receivingUpload_ = true;
            uploadCode_ = code;
            uploadLength_ = argument;
            uploadChecksum_ = frame[6];
            uploadData_.clear();
        }
        return;
    } else if (code == 0x5B && code1 == 0xB0) {
        std::vector<uint8_t> info(72, 0);
        info[1] = state_.firmwareVersion;
        info[2] = state_.secondVersion;
        putLittleEndian32(info, 4, state_.serialNumber);
        parts.push_back(ReplyPart::payload(info));
        parts.push_back(ReplyPart::payload(std::vector<uint8_t>(16, 0)));
        parts.push_back(ReplyPart::endMarker());
    } else if (code == 0x64 && code1 == 0xB8) {
        std::vector<uint8_t> time(16, 0);
        const GpsTime &t = state_.gpsTime;
        time[0] = state_.gpsHasTime ? t.hour : 0xFF;
        time[1] = state_.gpsHasTime ? t.minute : 0xFF;
        time[2] = state_.gpsHasTime ? t.second : 0xFF;
        time[3] = t.year;
        time[4] = t.month;
        time[5] = t.day;
        parts.push_back(ReplyPart::payload(time));
    } else {
        return;  // unknown frames get no answer
    }
    send(reply, actions);
}

void DeviceModel::finishUpload(LineActions &actions)
{
    receivingUpload_ = false;
    events_.push_back({WireEvent::Kind::uploadPayload, uploadData_});
    auto answer = [&](bool checksumOk) {
        return send({uploadCode_, {ReplyPart::verdict(checksumOk), ReplyPart::endMarker()}}, actions);
    };
    if (uploadCode_ == 0x55) {
        uint8_t x = 0;
        for (uint8_t b : uploadData_) x ^= b;
        if (answer(x == uploadChecksum_) && uploadData_.size() >= kSettingsRecordSize) {
            std::copy_n(uploadData_.begin(), kSettingsRecordSize, state_.settingsRecord.begin());
            state_.voiceData.assign(uploadData_.begin() + kSettingsRecordSize, uploadData_.end());
            ++state_.settingsUploads;
        }
    } else {
        uint8_t x = 0;
        const size_t covered = std::min<size_t>(uploadData_.size(), 65408);
        for (size_t i = 0; i < covered; ++i) x ^= uploadData_[i];
        const bool fits = uploadData_.size() == kFirmwareImageSize;
        if (answer(fits && x == uploadChecksum_) && fits) {
            state_.lastFirmwareImage = uploadData_;
            const uint8_t v = uploadData_[65409];
            state_.firmwareVersion = static_cast<uint8_t>(((v >> 3) & 7) << 3 | (v & 7));
            state_.secondVersion = state_.firmwareVersion;
            ++state_.firmwareUploads;
            dumpMode_ = false;  // the logger restarts with its new firmware
        }
    }
    uploadData_.clear();
}

}  // namespace trk7700::sim
