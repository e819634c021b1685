#include "sim/simulated_logger.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace trk7700::sim {
namespace {

using Clock = std::chrono::steady_clock;

// The logger's texts, as the device sends and expects them.
const std::string kBannerText = "Ostravelle Tech. Co. TRK-7700\r\n";
const std::string kGreetingText = std::string("Q'Z Camera Detect") + '\0';
const std::string kReadyText = std::string("QZ GPS+BT") + '\0';
const std::string kExitText = std::string("QZ AP-Exit") + '\0';
const std::string kEndMarkerText = std::string("QZ Update Over") + '\0';
const std::string kChecksumOkText = std::string("Checksum    OK") + '\0';
const std::string kChecksumErrorText = std::string("Checksum Error") + '\0';

std::vector<uint8_t> bytesOf(const std::string &text) { return {text.begin(), text.end()}; }

void putLittleEndian32(std::vector<uint8_t> &out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t littleEndian32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void sleepUntil(Clock::time_point when)
{
    const auto left = when - Clock::now();
    if (left <= Clock::duration::zero()) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    nanosleep(&ts, nullptr);
}

constexpr size_t kMaxUpload = 1u << 20;
constexpr size_t kMaxRecorded = 64u << 20;

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

namespace {

// Bytes that stand for line noise or the rest of an earlier session.
std::vector<uint8_t> strayPattern(size_t count)
{
    std::vector<uint8_t> junk(count);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(0xA5 ^ (i * 37));
    return junk;
}

}  // namespace

// A piece of the reply stream.
struct SimulatedLogger::Chunk {
    std::vector<uint8_t> data;
    size_t offset = 0;
    int pauseBeforeMs = 0;
    bool hangup = false;
    bool pauseDone = false;
    Clock::time_point notBefore {};
};

// One reply in the making: payload and text parts, before faults shape it.
struct ReplyPart {
    enum class Kind { payload, text, endMarker } kind;
    std::vector<uint8_t> bytes;
    int pauseBeforeMs = 0;
};

struct SimulatedLogger::Impl {
    mutable std::mutex lock;
    DeviceState state;
    std::vector<Fault> faults;
    std::vector<uint8_t> received;
    std::vector<WireEvent> events;
    long baudRate = 0;

    int masterFd = -1;
    int wakePipe[2] = {-1, -1};
    std::string slavePath;
    std::string entryPath;

    // protocol state, touched only by the simulator thread (and under lock)
    bool dumpMode = false;
    std::vector<uint8_t> input;
    bool receivingUpload = false;
    uint8_t uploadCode = 0;
    size_t uploadLength = 0;
    uint8_t uploadChecksum = 0;
    std::vector<uint8_t> uploadData;

    std::deque<Chunk> output;
    Clock::time_point pacingStart {};
    uint64_t pacedBytes = 0;
    bool pacingIdle = true;

    std::vector<Fault> faultsFor(int target) const
    {
        std::vector<Fault> found;
        for (const auto &f : faults)
            if (f.target == target || f.target == static_cast<int>(FaultTarget::anyReply)) found.push_back(f);
        return found;
    }
};

SimulatedLogger::SimulatedLogger(Options options) : options_(std::move(options)), impl_(new Impl)
{
    impl_->baudRate = options_.baudRate;
}

SimulatedLogger::~SimulatedLogger()
{
    stop();
    delete impl_;
}

std::string SimulatedLogger::portEntry() const { return impl_->entryPath; }
std::string SimulatedLogger::slavePath() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->slavePath;
}

namespace {

// A fresh pseudo-terminal in raw mode whose slave was opened and closed once,
// so that from now on the master reports a hang-up exactly while nobody has
// the port open.
int createPseudoTerminal(std::string &slavePath)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) throw std::runtime_error("posix_openpt failed");
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        throw std::runtime_error("grantpt/unlockpt failed");
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        throw std::runtime_error("ptsname failed");
    }
    slavePath = name;
    termios tio {};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}

void linkEntry(const std::string &entry, const std::string &target)
{
    ::unlink(entry.c_str());
    if (::symlink(target.c_str(), entry.c_str()) != 0) throw std::runtime_error("cannot create " + entry);
}

}  // namespace

void SimulatedLogger::start()
{
    if (thread_.joinable()) return;
    if (options_.portDirectory.empty()) throw std::runtime_error("the simulator needs a port directory");
    impl_->entryPath = options_.portDirectory + "/COM" + std::to_string(options_.comNumber);
    {
        std::lock_guard guard(impl_->lock);
        impl_->masterFd = createPseudoTerminal(impl_->slavePath);
    }
    if (::pipe2(impl_->wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe failed");
    linkEntry(impl_->entryPath, impl_->slavePath);
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void SimulatedLogger::stop()
{
    if (!thread_.joinable()) return;
    stopping_ = true;
    const char wake = 1;
    (void)!::write(impl_->wakePipe[1], &wake, 1);
    thread_.join();
    ::unlink(impl_->entryPath.c_str());
    if (impl_->masterFd >= 0) ::close(impl_->masterFd);
    impl_->masterFd = -1;
    for (int &fd : impl_->wakePipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void SimulatedLogger::withState(const std::function<void(DeviceState &)> &change)
{
    std::lock_guard guard(impl_->lock);
    change(impl_->state);
}

DeviceState SimulatedLogger::snapshot() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->state;
}

void SimulatedLogger::setFaults(std::vector<Fault> faults)
{
    std::lock_guard guard(impl_->lock);
    impl_->faults = std::move(faults);
}

void SimulatedLogger::setBaudRate(long baudRate)
{
    std::lock_guard guard(impl_->lock);
    impl_->baudRate = baudRate;
}

std::vector<uint8_t> SimulatedLogger::receivedBytes() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->received;
}

std::vector<WireEvent> SimulatedLogger::events() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->events;
}

void SimulatedLogger::clearReceived()
{
    std::lock_guard guard(impl_->lock);
    impl_->received.clear();
    impl_->events.clear();
}

bool SimulatedLogger::inDumpMode() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->dumpMode;
}

// --- the device model: everything below runs on the simulator's thread, under the lock ---

namespace {

struct ReplyBuilder {
    std::vector<ReplyPart> parts;
    void payload(std::vector<uint8_t> bytes, int pauseBeforeMs = 0)
    {
        parts.push_back({ReplyPart::Kind::payload, std::move(bytes), pauseBeforeMs});
    }
    void text(const std::string &t, int pauseBeforeMs = 0)
    {
        parts.push_back({ReplyPart::Kind::text, bytesOf(t), pauseBeforeMs});
    }
    void endMarker(int pauseBeforeMs = 0)
    {
        parts.push_back({ReplyPart::Kind::endMarker, bytesOf(kEndMarkerText), pauseBeforeMs});
    }
};

}  // namespace

void SimulatedLogger::run()
{
    Impl &d = *impl_;

    auto queue = [&](Chunk chunk) { d.output.push_back(std::move(chunk)); };

    // Faults applied to a reply on its way out.
    auto send = [&](ReplyBuilder reply, int target) {
        const auto faults = d.faultsFor(target);
        auto has = [&](FaultKind k) {
            return std::any_of(faults.begin(), faults.end(), [&](const Fault &f) { return f.kind == k; });
        };
        auto find = [&](FaultKind k) {
            return *std::find_if(faults.begin(), faults.end(), [&](const Fault &f) { return f.kind == k; });
        };
        if (has(FaultKind::silence)) return;
        if (has(FaultKind::lateReply)) queue(Chunk {{}, 0, find(FaultKind::lateReply).pauseMs});
        if (has(FaultKind::garbage)) queue(Chunk {strayPattern(find(FaultKind::garbage).garbageCount)});
        // Payload bytes counted across the whole reply, for stall/hangup/short.
        size_t payloadTotal = 0;
        for (const auto &p : reply.parts)
            if (p.kind == ReplyPart::Kind::payload || p.kind == ReplyPart::Kind::text) payloadTotal += p.bytes.size();
        auto positionOf = [&](const Fault &f) { return f.atByte != 0 ? f.atByte : payloadTotal / 2; };

        size_t position = 0;
        for (auto &part : reply.parts) {
            if (part.kind == ReplyPart::Kind::endMarker) {
                if (has(FaultKind::strayBytes) && payloadTotal > 0 &&
                    positionOf(find(FaultKind::strayBytes)) >= payloadTotal)
                    queue(Chunk {strayPattern(find(FaultKind::strayBytes).garbageCount)});
                if (has(FaultKind::lateEndMarker)) part.pauseBeforeMs += find(FaultKind::lateEndMarker).pauseMs;
                if (has(FaultKind::noEndMarker)) continue;
                auto bytes = part.bytes;
                if (has(FaultKind::noTerminatingZero)) bytes.pop_back();
                // A reply that is the end marker alone (the erase's) suffers a
                // stall, a hang-up or a cut inside the marker.
                if (payloadTotal == 0) {
                    const FaultKind insideKinds[] = {FaultKind::shortReply, FaultKind::hangup, FaultKind::stall};
                    const auto inside = std::find_if(std::begin(insideKinds), std::end(insideKinds), has);
                    if (inside != std::end(insideKinds)) {
                        const Fault &f = find(*inside);
                        const auto at = static_cast<long>(f.atByte != 0 ? std::min(f.atByte, bytes.size())
                                                                        : bytes.size() / 2);
                        queue(Chunk {std::vector<uint8_t>(bytes.begin(), bytes.begin() + at), 0, part.pauseBeforeMs});
                        if (*inside == FaultKind::stall) {
                            queue(Chunk {std::vector<uint8_t>(bytes.begin() + at, bytes.end()), 0, f.pauseMs});
                            continue;
                        }
                        if (*inside == FaultKind::hangup) {
                            Chunk h;
                            h.hangup = true;
                            h.pauseBeforeMs = f.pauseMs;
                            queue(std::move(h));
                        }
                        return;
                    }
                }
                if (has(FaultKind::splitEndMarker)) {
                    queue(Chunk {std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10), 0, part.pauseBeforeMs});
                    queue(Chunk {std::vector<uint8_t>(bytes.begin() + 10, bytes.end()), 0,
                                 find(FaultKind::splitEndMarker).pauseMs});
                } else {
                    queue(Chunk {bytes, 0, part.pauseBeforeMs});
                }
                continue;
            }
            auto bytes = part.bytes;
            if (part.kind == ReplyPart::Kind::text && has(FaultKind::noTerminatingZero) && !bytes.empty() &&
                bytes.back() == 0)
                bytes.pop_back();
            const size_t begin = position;
            const size_t end = position + bytes.size();
            position = end;
            // Line noise: extra bytes inside the part; the cuts below count the reply's own bytes.
            std::vector<uint8_t> stray;
            size_t strayAt = SIZE_MAX;
            if (has(FaultKind::strayBytes)) {
                const size_t at = positionOf(find(FaultKind::strayBytes));
                if (at >= begin && at < end) {
                    stray = strayPattern(find(FaultKind::strayBytes).garbageCount);
                    strayAt = at - begin;
                }
            }
            // cut points inside this part
            size_t cut = bytes.size();
            bool endsHere = false;
            if (has(FaultKind::shortReply)) {
                const size_t at = positionOf(find(FaultKind::shortReply));
                if (at < end) {
                    cut = at > begin ? at - begin : 0;
                    endsHere = true;
                }
            }
            bool hangupHere = false;
            if (has(FaultKind::hangup)) {
                const size_t at = positionOf(find(FaultKind::hangup));
                if (at >= begin && at < end) {
                    cut = std::min(cut, at - begin);
                    hangupHere = true;
                }
            }
            size_t stallAt = SIZE_MAX;
            if (has(FaultKind::stall)) {
                const size_t at = positionOf(find(FaultKind::stall));
                if (at >= begin && at < end && at - begin < cut) stallAt = at - begin;
            }
            if (stallAt != SIZE_MAX) {
                queue(Chunk {std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(stallAt)), 0,
                             part.pauseBeforeMs});
                queue(Chunk {std::vector<uint8_t>(bytes.begin() + static_cast<long>(stallAt),
                                                  bytes.begin() + static_cast<long>(cut)),
                             0, find(FaultKind::stall).pauseMs});
            } else {
                bytes.resize(cut);
                if (strayAt <= bytes.size()) bytes.insert(bytes.begin() + static_cast<long>(strayAt), stray.begin(), stray.end());
                queue(Chunk {std::move(bytes), 0, part.pauseBeforeMs});
            }
            if (hangupHere) {
                Chunk h;
                h.hangup = true;
                h.pauseBeforeMs = find(FaultKind::hangup).pauseMs;
                queue(std::move(h));
                return;
            }
            if (endsHere) return;
        }
    };

    auto verdict = [&](bool checksumOk, int target) {
        const auto faults = d.faultsFor(target);
        auto has = [&](FaultKind k) {
            return std::any_of(faults.begin(), faults.end(), [&](const Fault &f) { return f.kind == k; });
        };
        if (has(FaultKind::noVerdict)) return false;
        if (has(FaultKind::checksumError)) checksumOk = false;
        ReplyBuilder r;
        if (!has(FaultKind::endMarkerOnly)) r.text(checksumOk ? kChecksumOkText : kChecksumErrorText);
        r.endMarker();
        send(std::move(r), target);
        return checksumOk;
    };

    auto finishUpload = [&]() {
        d.receivingUpload = false;
        d.events.push_back({WireEvent::Kind::uploadPayload, d.uploadData});
        const int target = d.uploadCode;
        if (d.uploadCode == 0x55) {
            uint8_t x = 0;
            for (uint8_t b : d.uploadData) x ^= b;
            if (verdict(x == d.uploadChecksum, target) && d.uploadData.size() >= kSettingsRecordSize) {
                std::copy_n(d.uploadData.begin(), kSettingsRecordSize, d.state.settingsRecord.begin());
                d.state.voiceData.assign(d.uploadData.begin() + kSettingsRecordSize, d.uploadData.end());
                ++d.state.settingsUploads;
            }
        } else {
            uint8_t x = 0;
            const size_t covered = std::min<size_t>(d.uploadData.size(), 65408);
            for (size_t i = 0; i < covered; ++i) x ^= d.uploadData[i];
            const bool fits = d.uploadData.size() == kFirmwareImageSize;
            if (verdict(fits && x == d.uploadChecksum, target) && fits) {
                d.state.lastFirmwareImage = d.uploadData;
                const uint8_t v = d.uploadData[65409];
                d.state.firmwareVersion = static_cast<uint8_t>(((v >> 3) & 7) << 3 | (v & 7));
                d.state.secondVersion = d.state.firmwareVersion;
                ++d.state.firmwareUploads;
                d.dumpMode = false;  // the logger restarts with its new firmware
            }
        }
        d.uploadData.clear();
    };

    auto handleCommand = [&](const uint8_t *frame) {
        d.events.push_back({WireEvent::Kind::command, std::vector<uint8_t>(frame, frame + 7)});
        const uint8_t code = frame[0];
        const uint8_t code1 = frame[1];
        const uint32_t argument = littleEndian32(frame + 2);
        ReplyBuilder r;
        if (code == 0x60 && code1 == 0xB5) {
            r.payload(d.state.logImage);
            r.endMarker();
        } else if (code == 0x61 && code1 == 0xB6) {
            std::fill(d.state.logImage.begin(), d.state.logImage.end(), 0xFF);
            ++d.state.erases;
            r.endMarker(d.state.eraseMilliseconds);
        } else if (code == 0x63 && code1 == 0xB7) {
            std::vector<uint8_t> size(4);
            putLittleEndian32(size, 0, d.state.memorySizeReply);
            r.payload(size);
        } else if (code == 0x62 && code1 == 0xB6) {
            r.payload({d.state.settingsRecord.begin(), d.state.settingsRecord.end()});
            r.endMarker();
        } else if ((code == 0x55 && code1 == 0xAA) || (code == 0x5D && code1 == 0xB2)) {
            if (argument > 0 && argument <= kMaxUpload) {
                d.receivingUpload = true;
                d.uploadCode = code;
                d.uploadLength = argument;
                d.uploadChecksum = frame[6];
                d.uploadData.clear();
            }
            return;
        } else if (code == 0x5B && code1 == 0xB0) {
            std::vector<uint8_t> info(72, 0);
            info[1] = d.state.firmwareVersion;
            info[2] = d.state.secondVersion;
            putLittleEndian32(info, 4, d.state.serialNumber);
            r.payload(info);
            r.payload(std::vector<uint8_t>(16, 0));
            r.endMarker();
        } else if (code == 0x64 && code1 == 0xB8) {
            std::vector<uint8_t> time(16, 0);
            const GpsTime &t = d.state.gpsTime;
            time[0] = d.state.gpsHasTime ? t.hour : 0xFF;
            time[1] = d.state.gpsHasTime ? t.minute : 0xFF;
            time[2] = d.state.gpsHasTime ? t.second : 0xFF;
            time[3] = t.year;
            time[4] = t.month;
            time[5] = t.day;
            r.payload(time);
        } else {
            return;  // unknown frames get no answer
        }
        send(std::move(r), code);
    };

    // Consumes what can be decoded from the input.
    // Replay: requests are counted off by their recorded length and answered
    // with the recorded reply.
    size_t replaySession = 0;
    size_t replayExchange = 0;
    auto replayInput = [&]() {
        const auto &session = options_.replay[std::min(replaySession, options_.replay.size()) - 1];
        while (replayExchange < session.exchanges.size()) {
            const RecordedExchange &next = session.exchanges[replayExchange];
            if (d.input.size() < next.request.size()) return;
            d.events.push_back({WireEvent::Kind::command, next.request});
            d.input.erase(d.input.begin(), d.input.begin() + static_cast<long>(next.request.size()));
            if (!next.reply.empty()) queue(Chunk {next.reply});
            ++replayExchange;
        }
        d.input.clear();
    };

    auto processInput = [&]() {
        if (!options_.replay.empty()) return replayInput();
        for (;;) {
            auto &in = d.input;
            if (in.empty()) return;
            if (d.receivingUpload) {
                const size_t take = std::min(in.size(), d.uploadLength - d.uploadData.size());
                d.uploadData.insert(d.uploadData.end(), in.begin(), in.begin() + static_cast<long>(take));
                in.erase(in.begin(), in.begin() + static_cast<long>(take));
                if (d.uploadData.size() == d.uploadLength) finishUpload();
                continue;
            }
            if (in[0] == 'Q') {
                if (in.size() < 2) return;
                const std::string &text = in[1] == '\'' ? kGreetingText : kExitText;
                if (in.size() < text.size()) return;
                if (std::equal(text.begin(), text.end(), in.begin())) {
                    const bool greeting = &text == &kGreetingText;
                    d.events.push_back({greeting ? WireEvent::Kind::greeting : WireEvent::Kind::exitRequest,
                                        std::vector<uint8_t>(in.begin(), in.begin() + static_cast<long>(text.size()))});
                    in.erase(in.begin(), in.begin() + static_cast<long>(text.size()));
                    if (greeting) {
                        d.dumpMode = true;
                        ReplyBuilder r;
                        r.text(kReadyText);
                        send(std::move(r), static_cast<int>(FaultTarget::handshake));
                    } else {
                        d.dumpMode = false;
                        d.output.clear();  // an exit ends whatever stream was running
                    }
                    continue;
                }
            }
            if (d.dumpMode && in[0] != 'Q') {
                if (in.size() < 7) return;
                std::vector<uint8_t> frame(in.begin(), in.begin() + 7);
                in.erase(in.begin(), in.begin() + 7);
                handleCommand(frame.data());
                continue;
            }
            d.events.push_back({WireEvent::Kind::stray, {in[0]}});
            in.erase(in.begin());
        }
    };

    auto onOpened = [&]() {
        d.dumpMode = false;
        d.input.clear();
        d.receivingUpload = false;
        d.output.clear();
        d.pacingIdle = true;
        if (!options_.replay.empty()) {
            replaySession = std::min(replaySession + 1, options_.replay.size());
            replayExchange = 0;
            const auto &opening = options_.replay[replaySession - 1].onOpen;
            if (!opening.empty()) queue(Chunk {opening});
            return;
        }
        if (!options_.sendBanner) return;
        const auto faults = d.faultsFor(static_cast<int>(FaultTarget::banner));
        bool silent = false, nul = false;
        size_t strayCount = 0;
        for (const auto &f : faults) {
            if (f.kind == FaultKind::silence && f.target == static_cast<int>(FaultTarget::banner)) silent = true;
            if (f.kind == FaultKind::nulBeforeBanner) nul = true;
            if (f.kind == FaultKind::strayBytes && f.target == static_cast<int>(FaultTarget::banner))
                strayCount = f.garbageCount;
        }
        if (silent) return;
        auto banner = bytesOf(kBannerText);
        if (nul) banner.insert(banner.begin(), 0);
        const auto stale = strayPattern(strayCount);
        banner.insert(banner.end(), stale.begin(), stale.end());
        queue(Chunk {banner});
    };

    auto hangUp = [&]() {
        // The device vanishes: the port fails for whoever has it open, and a
        // fresh port appears under the same COM number for the next opener.
        ::close(d.masterFd);
        d.masterFd = createPseudoTerminal(d.slavePath);
        linkEntry(d.entryPath, d.slavePath);
        d.output.clear();
        d.dumpMode = false;
        slaveOpen_ = false;
    };

    std::vector<uint8_t> readBuffer(4096);
    while (!stopping_) {
        // Until an opener is seen, look often: the master tells an open only by
        // no longer reporting a hang-up, and the banner is due within milliseconds.
        Clock::time_point wakeAt = Clock::now() + std::chrono::milliseconds(slaveOpen_ ? 50 : 1);
        bool wantWrite = false;
        {
            std::lock_guard guard(d.lock);
            // Drive the output queue.
            while (!d.output.empty() && slaveOpen_) {
                Chunk &c = d.output.front();
                if (!c.pauseDone) {
                    c.pauseDone = true;
                    c.notBefore = Clock::now() + std::chrono::milliseconds(c.pauseBeforeMs);
                    if (c.pauseBeforeMs > 0) d.pacingIdle = true;
                }
                const auto now = Clock::now();
                if (now < c.notBefore) {
                    wakeAt = std::min(wakeAt, c.notBefore);
                    break;
                }
                if (c.hangup) {
                    hangUp();
                    break;
                }
                if (c.offset >= c.data.size()) {
                    d.output.pop_front();
                    continue;
                }
                size_t allowed = c.data.size() - c.offset;
                if (d.baudRate > 0) {
                    if (d.pacingIdle) {
                        d.pacingIdle = false;
                        d.pacingStart = now;
                        d.pacedBytes = 0;
                    }
                    const double rate = static_cast<double>(d.baudRate) / 10.0;
                    const double elapsed = std::chrono::duration<double>(now - d.pacingStart).count();
                    const double due = elapsed * rate - static_cast<double>(d.pacedBytes);
                    // Bytes leave in small groups at their absolute due times.
                    if (due < 1.0) {
                        const auto next = d.pacingStart + std::chrono::duration_cast<Clock::duration>(
                                                              std::chrono::duration<double>((d.pacedBytes + 16) / rate));
                        wakeAt = std::min(wakeAt, next);
                        break;
                    }
                    allowed = std::min(allowed, static_cast<size_t>(due));
                }
                allowed = std::min<size_t>(allowed, 4096);
                const ssize_t n = ::write(d.masterFd, c.data.data() + c.offset, allowed);
                if (n > 0) {
                    c.offset += static_cast<size_t>(n);
                    d.pacedBytes += static_cast<uint64_t>(n);
                    bytesSent_ += static_cast<uint64_t>(n);
                    continue;
                }
                wantWrite = true;  // the port's buffer is full
                break;
            }
            if (d.output.empty()) d.pacingIdle = true;
        }

        pollfd fds[2] = {{d.masterFd, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {d.wakePipe[0], POLLIN, 0}};
        auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(wakeAt - Clock::now()).count();
        if (wait < 0) wait = 0;
        timespec timeout {static_cast<time_t>(wait / 1000000000), static_cast<long>(wait % 1000000000)};
        if (::ppoll(fds, 2, &timeout, nullptr) < 0) continue;
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (::read(d.wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        const bool hungUp = (fds[0].revents & POLLHUP) != 0;
        bool idleWhileClosed = false;
        {
            std::lock_guard guard(d.lock);
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(d.masterFd, readBuffer.data(), readBuffer.size());
                if (n > 0) {
                    if (!slaveOpen_) {
                        slaveOpen_ = true;
                        ++openCount_;
                        onOpened();
                    }
                    if (d.received.size() < kMaxRecorded)
                        d.received.insert(d.received.end(), readBuffer.begin(), readBuffer.begin() + n);
                    d.input.insert(d.input.end(), readBuffer.begin(), readBuffer.begin() + n);
                    processInput();
                    continue;
                }
            }
            if (hungUp) {
                if (slaveOpen_) {
                    // Take what the last opener wrote just before it closed.
                    for (;;) {
                        const ssize_t n = ::read(d.masterFd, readBuffer.data(), readBuffer.size());
                        if (n <= 0) break;
                        if (d.received.size() < kMaxRecorded)
                            d.received.insert(d.received.end(), readBuffer.begin(), readBuffer.begin() + n);
                        d.input.insert(d.input.end(), readBuffer.begin(), readBuffer.begin() + n);
                    }
                    processInput();
                    slaveOpen_ = false;
                    d.output.clear();
                    d.input.clear();
                    d.receivingUpload = false;
                    d.dumpMode = false;
                    tcflush(d.masterFd, TCOFLUSH);  // nothing stale for the next opener
                }
                idleWhileClosed = true;
            } else if (!slaveOpen_) {
                slaveOpen_ = true;
                ++openCount_;
                onOpened();
            }
        }
        // While nobody has the port open the master reports a hang-up on every
        // poll; look again in a millisecond instead of spinning.
        if (idleWhileClosed) sleepUntil(Clock::now() + std::chrono::milliseconds(1));
    }
}

}  // namespace trk7700::sim
