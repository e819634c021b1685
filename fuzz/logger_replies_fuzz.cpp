// The logger's replies of any content: the ready reply, the memory size, the
// settings record, the device information, the GPS time, the upload verdicts
// and the log stream. They reach the library through a port that lives in
// memory (serial::PortStandIn) at full speed: a read that finds nothing is one
// poll, and the clock's second changes at every look, so that a wait of limit
// L ends after L + 1 empty polls.
//
// Input: byte 0 chooses the operation (low 4 bits) and a second one run after
// it on what the first left over (high 4 bits; 10 and more: none). The rest is
// the script of what the logger sends, taken as the library reads:
//   0x00..0xEF n   the n bytes that follow
//   0xF0           a pause: the read going on ends with what it has
//   0xF1 n:3 v     n (24 bits, least significant first) bytes of value v
//   0xF2 n:2 r:16  n records, each the 16 bytes r
//   0xF3           the logger hangs up: nothing more comes, writes fail
//   0xF4           the next write fails
//   0xF5..0xFF     the end: nothing more comes
//
// Checked after every operation: its result is one it may give; success only
// when the replies it needs came whole and in place (the end marker directly
// behind the whole log image, behind the settings record, at most 16 bytes
// behind the device information; a ready reply of ten bytes); the values
// handed out are those of the replies; dump mode and the port as the result
// says, and closed after a hang-up; the current directory as before; an
// earlier track text kept unless the readout succeeded.
#include "TRK7700_DLL.h"
#include "device/device_operations.h"
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "fuzz_support.h"
#include "log/log_image.h"
#include "log/log_operations.h"
#include "log/track_text.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"
#include "settings/settings_operations.h"
#include "support/firmware_file_builder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace trk7700;
using namespace trk7700::fuzzing;

namespace {

constexpr int kCom = 3;
constexpr int kSecondCom = 200;  // a further logger, for the scan
constexpr size_t kStreamLimit = log::kLogImageSize + 4096;
const std::string kEndMarker(dumpmode::kEndMarker, sizeof dumpmode::kEndMarker);
const std::string kReadyReply(dumpmode::kReadyReply, sizeof dumpmode::kReadyReply);
const std::string kChecksumError("Checksum Error", 15);
const std::string kEarlierTrack = "an earlier readout\r\n";

int lookAtTheClock()
{
    static int looks = 0;
    return looks++ % 60;
}

class ScriptedLogger : public serial::PortStandIn {
public:
    ScriptedLogger(const uint8_t *script, size_t size) : script_(script), size_(size) {}

    bool accepts(int comNumber) override { return comNumber == kCom || comNumber == kSecondCom; }
    bool hungUp() override { return hungUp_; }

    int read(uint8_t *destination, int count) override
    {
        int got = 0;
        while (got < count) {
            if (left_ > 0) {
                const size_t take = std::min(left_, static_cast<size_t>(count - got));
                copyOut(destination + got, take);
                got += static_cast<int>(take);
                left_ -= take;
                streamed_ += take;
                continue;
            }
            if (!startSegment()) break;
        }
        if (got > 0) {
            const size_t keep =
                std::min(static_cast<size_t>(got), kStreamLimit - std::min(kStreamLimit, allSinceWrite.size()));
            allSinceWrite.append(reinterpret_cast<const char *>(destination), keep);
            readsSinceWrite.emplace_back(reinterpret_cast<const char *>(destination),
                                         std::min<size_t>(static_cast<size_t>(got), 80));
            bytesSinceWrite += static_cast<size_t>(got);
            lastReadWasMarker = got >= 15 && readsSinceWrite.back().compare(0, 15, kEndMarker) == 0;
        }
        return got;
    }

    bool write(const uint8_t *source, int count) override
    {
        if (hungUp_ || failNextWrite_) {
            failNextWrite_ = false;
            writeFailed = true;
            return false;
        }
        lastWrite.assign(reinterpret_cast<const char *>(source), static_cast<size_t>(count));
        readsSinceWrite.clear();
        allSinceWrite.clear();
        bytesSinceWrite = 0;
        lastReadWasMarker = false;
        return true;
    }

    // What the library made of the replies, for the checks.
    std::string lastWrite;
    std::vector<std::string> readsSinceWrite;  // the reads that brought bytes, each cut at 80 bytes
    std::string allSinceWrite;                 // every byte read since the last write
    size_t bytesSinceWrite = 0;
    bool lastReadWasMarker = false;  // the last read that brought bytes began with the whole end marker
    bool writeFailed = false;        // since the operation began

private:
    void copyOut(uint8_t *destination, size_t count)
    {
        if (pattern_.empty()) {
            std::memcpy(destination, segment_, count);
            segment_ += count;
            return;
        }
        // Whole runs of the pattern at a time: megabytes of log pass here.
        for (size_t done = 0; done < count;) {
            if (patternAt_ == pattern_.size()) patternAt_ = 0;
            const size_t run = std::min(count - done, pattern_.size() - patternAt_);
            std::memcpy(destination + done, pattern_.data() + patternAt_, run);
            done += run;
            patternAt_ += run;
        }
    }

    size_t takeCount(int bytes)
    {
        size_t n = 0;
        for (int i = 0; i < bytes && at_ < size_; ++i) n |= static_cast<size_t>(script_[at_++]) << (8 * i);
        return n;
    }

    // False when the read going on ends here.
    bool startSegment()
    {
        if (hungUp_ || at_ >= size_) return false;
        const uint8_t head = script_[at_++];
        pattern_.clear();
        patternAt_ = 0;
        if (head < 0xF0) {
            left_ = std::min<size_t>(head, size_ - at_);
            segment_ = script_ + at_;
            at_ += left_;
        } else if (head == 0xF0) {
            return false;
        } else if (head == 0xF1) {
            left_ = takeCount(3);
            // A longer pattern of the one value, so that it is copied in runs.
            pattern_.assign(64, at_ < size_ ? script_[at_++] : 0);
        } else if (head == 0xF2) {
            left_ = takeCount(2) * 16;
            const size_t patternSize = std::min<size_t>(16, size_ - at_);
            pattern_.assign(script_ + at_, script_ + at_ + patternSize);
            at_ += patternSize;
            if (pattern_.empty()) left_ = 0;
        } else if (head == 0xF3) {
            hungUp_ = true;
            return false;
        } else if (head == 0xF4) {
            failNextWrite_ = true;
        } else {
            at_ = size_;
            return false;
        }
        // A few megabytes at most, whatever the counts say.
        left_ = std::min(left_, kStreamLimit - std::min(kStreamLimit, streamed_));
        return true;
    }

    const uint8_t *script_;
    size_t size_;
    size_t at_ = 0;
    size_t left_ = 0;
    const uint8_t *segment_ = nullptr;
    std::vector<uint8_t> pattern_;
    size_t patternAt_ = 0;
    size_t streamed_ = 0;
    bool hungUp_ = false;
    bool failNextWrite_ = false;
};

struct Folders {
    std::filesystem::path home, track, wave, firmware;
};

const Folders &folders()
{
    static const Folders made = [] {
        Folders f;
        f.home = freshFolder("home");
        f.track = freshFolder("track");
        f.wave = freshFolder("wave");
        f.firmware = freshFolder("firmware");
        const char *names[] = {"battery_low.wav", "BT_close.wav",   "BT_open.wav",
                               "Error_Beep.wav",  "GPS_search.wav", "GPS_search_finished.wav",
                               "OK_Beep.wav",     "OK1_Beep.wav"};
        for (const char *name : names) writeWhole(f.wave / name, std::string(20, name[0]));
        testing::writeFirmwareFile(f.firmware, testing::buildFirmwareFile(0x0B));
        return f;
    }();
    return made;
}

std::string versionText(uint8_t byte) { return std::to_string(byte >> 3) + "." + std::to_string(byte & 7); }

uint32_t littleEndian32(const std::string &bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

std::string commandBytes(dumpmode::Command command)
{
    return {static_cast<char>(command.code0), static_cast<char>(command.code1), 0, 0, 0, 0, 0};
}

// The first reply after the command, as the library's buffer holds it: what
// came, then the 0xFF that the library put there before reading.
std::string firstReply(const ScriptedLogger &logger, size_t size)
{
    std::string reply = logger.readsSinceWrite.empty() ? std::string() : logger.readsSinceWrite.front();
    reply.resize(std::max(reply.size(), size), '\xFF');
    return reply;
}

// Where the first end marker begins among the bytes read since the request,
// or npos.
size_t markerPosition(const ScriptedLogger &logger) { return logger.allSinceWrite.find(kEndMarker); }

// The reply's payload as the library must have taken it: the bytes before the
// marker, then 0xFF for whatever a short reply left out.
std::string payloadBeforeMarker(const ScriptedLogger &logger, size_t size)
{
    std::string payload = logger.allSinceWrite.substr(0, markerPosition(logger));
    payload.resize(std::max(payload.size(), size), '\xFF');
    return payload;
}

int32_t enter(ScriptedLogger &logger, bool byScan)
{
    const bool wasOpen = linkState().dumpMode.inDumpMode;
    const int32_t result = byScan ? QZ_TRK7700_AUTO_INTO_DUMP_MODE(nullptr) : QZ_TRK7700_INTO_DUMP_MODE(kCom);
    if (wasOpen) {
        // Nothing happens while dump mode is open.
        FUZZ_CHECK(result == 3 && linkState().dumpMode.inDumpMode && serial::portIsOpen());
        return result;
    }
    FUZZ_CHECK(result == 3 || result == 4 || result == 24);
    FUZZ_CHECK(linkState().dumpMode.inDumpMode == (result == 24));
    FUZZ_CHECK(serial::portIsOpen() == (result == 24));
    if (result == 24) {
        // The ready reply came whole, in the one read after the greeting.
        FUZZ_CHECK(logger.lastWrite == std::string(dumpmode::kGreeting, sizeof dumpmode::kGreeting));
        FUZZ_CHECK(!logger.readsSinceWrite.empty() && logger.readsSinceWrite.front().substr(0, 10) == kReadyReply);
    }
    if (byScan && result == 24)
        FUZZ_CHECK(linkState().dumpMode.detectedPort == kCom || linkState().dumpMode.detectedPort == kSecondCom);
    return result;
}

int32_t dump(ScriptedLogger &logger)
{
    const auto path = folders().track / "Wayfolk.txt";
    writeWhole(path, kEarlierTrack);
    const int32_t result = QZ_TRK7700_DUMP_DB(kCom, path.c_str());
    FUZZ_CHECK(result == 2 || result == 12 || result == 26);
    const std::string track = readWhole(path);
    if (result != 2) {
        FUZZ_CHECK(track == kEarlierTrack);
        return result;
    }
    FUZZ_CHECK(logger.lastWrite == commandBytes(dumpmode::CMD_DUMP_LOG));
    // The marker directly behind the whole image: stray bytes would have shifted it.
    FUZZ_CHECK(logger.allSinceWrite.size() >= log::kLogImageSize + 15 &&
               logger.allSinceWrite.compare(log::kLogImageSize, 15, kEndMarker) == 0);
    const std::string headers = std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine;
    FUZZ_CHECK(track.compare(0, headers.size(), headers) == 0);
    for (const char *gone : {log::kRawLogFile, log::kSortedLogFile, log::kTrackTempFile, log::kTrackNewFile})
        FUZZ_CHECK(!std::filesystem::exists(folders().track / gone));
    return result;
}

int32_t erase(ScriptedLogger &logger)
{
    const int32_t result = QZ_TRK7700_ERASE_All_DB(kCom);
    FUZZ_CHECK(result == 12 || result == 13 || result == 26);
    if (result == 13)
        FUZZ_CHECK(markerPosition(logger) != std::string::npos &&
                   logger.lastWrite == commandBytes(dumpmode::CMD_ERASE_LOG));
    return result;
}

int32_t writeSettings(ScriptedLogger &logger)
{
    const int32_t result = QZ_TRK7700_SETTING_DEVICE(kCom, 5, 0, 2, 1, folders().wave.c_str(), 0);
    FUZZ_CHECK(result == 12 || result == 14 || result == 18 || result == 26);
    bool checksumError = false;
    for (const auto &unit : logger.readsSinceWrite)
        checksumError = checksumError || unit.substr(0, 15) == kChecksumError;
    if (result == 14 || result == 18) FUZZ_CHECK(logger.lastReadWasMarker);
    if (result == 18) FUZZ_CHECK(checksumError);
    if (result == 14) FUZZ_CHECK(!checksumError);
    return result;
}

int32_t readSettings(ScriptedLogger &logger)
{
    int32_t time = -7, distance = -7;
    uint8_t vibration = 7, tag = 7, minSpeed = 7;
    const int32_t result = QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &minSpeed);
    FUZZ_CHECK(result == 12 || result == 22 || result == 26);
    if (result != 22) {
        FUZZ_CHECK(time == -7 && distance == -7 && vibration == 7 && tag == 7 && minSpeed == 7);
        return result;
    }
    // The marker directly behind a record of at most 256 bytes.
    FUZZ_CHECK(logger.lastWrite == commandBytes(dumpmode::CMD_READ_SETTINGS) && markerPosition(logger) <= 256);
    const std::string record = payloadBeforeMarker(logger, 26);
    const uint32_t t = littleEndian32(record, 0), d = littleEndian32(record, 4);
    FUZZ_CHECK(time == (t != 0xFFFFFFFF ? static_cast<int32_t>(t) : -1));
    FUZZ_CHECK(distance == (t != 0xFFFFFFFF ? -1 : d != 0xFFFFFFFF ? static_cast<int32_t>(d) : 50));
    FUZZ_CHECK(vibration == (record[8] != 0 ? 2 : 0));
    FUZZ_CHECK(tag == (static_cast<uint8_t>(record[24]) == 0xFF ? 1 : static_cast<uint8_t>(record[24])));
    FUZZ_CHECK(minSpeed == (static_cast<uint8_t>(record[25]) == 0xFF ? 0 : static_cast<uint8_t>(record[25])));
    return result;
}

int32_t readInformation(ScriptedLogger &logger)
{
    int32_t serialNumber = -7;
    // Exactly the room the caller promises.
    const auto version = std::make_unique<char[]>(5);
    std::memset(version.get(), 'x', 5);
    const int32_t result = QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version.get());
    FUZZ_CHECK(result == 12 || result == 26 || result == 27 || result == 28 || result == 29);
    if (result != 29) {
        FUZZ_CHECK(serialNumber == -7 && std::string(version.get(), 5) == "xxxxx");
        return result;
    }
    // The marker at most 16 bytes behind the 72 bytes of information.
    FUZZ_CHECK(logger.lastWrite == commandBytes(dumpmode::CMD_READ_DEVICE_INFO) && markerPosition(logger) >= 8 &&
               markerPosition(logger) <= 88);
    const std::string reply = payloadBeforeMarker(logger, 8);
    FUZZ_CHECK(static_cast<uint8_t>(reply[1]) != 0xFF && static_cast<uint8_t>(reply[2]) != 0xFF);
    FUZZ_CHECK(std::string(version.get()) == versionText(static_cast<uint8_t>(reply[1])));
    FUZZ_CHECK(static_cast<uint32_t>(serialNumber) == littleEndian32(reply, 4));
    return result;
}

int32_t readGpsTime(ScriptedLogger &logger)
{
    uint8_t values[6] = {7, 7, 7, 7, 7, 7};
    const int32_t result =
        QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&values[0], &values[1], &values[2], &values[3], &values[4], &values[5]);
    FUZZ_CHECK(result == 26 || result == 38 || result == 39);
    if (result != 39) {
        FUZZ_CHECK(values[0] == 0xFF && values[1] == 0xFF && values[2] == 0xFF);
        FUZZ_CHECK(values[3] == 7 && values[4] == 7 && values[5] == 7);
        return result;
    }
    FUZZ_CHECK(logger.lastWrite == commandBytes(dumpmode::CMD_READ_GPS_TIME));
    const std::string reply = firstReply(logger, 6);
    for (int i = 0; i < 6; ++i) FUZZ_CHECK(values[i] == static_cast<uint8_t>(reply[static_cast<size_t>(i)]));
    return result;
}

int32_t upgradeFirmware(ScriptedLogger &logger)
{
    const int32_t result = QZ_TRK7700_FW_UPGRADE(kCom, folders().firmware.c_str());
    FUZZ_CHECK(result == 12 || result == 18 || result == 26 || result == 35);
    if (result == 35) {
        FUZZ_CHECK(logger.lastReadWasMarker);
        FUZZ_CHECK(!linkState().dumpMode.inDumpMode && !serial::portIsOpen());
    }
    return result;
}

bool isSuccess(int32_t result)
{
    for (int32_t success : {2, 13, 14, 22, 24, 29, 35, 39})
        if (result == success) return true;
    return false;
}

void run(int operation, ScriptedLogger &logger)
{
    const bool wasInDumpMode = linkState().dumpMode.inDumpMode;
    const auto before = std::filesystem::current_path();
    logger.writeFailed = false;
    int32_t result = 0;
    switch (operation) {
    case 0: result = enter(logger, false); break;
    case 1: result = enter(logger, true); break;
    case 2:
        result = QZ_TRK7700_EXIT_DUMP_MODE();
        FUZZ_CHECK(result == 25 && !linkState().dumpMode.inDumpMode && !serial::portIsOpen());
        break;
    case 3: result = dump(logger); break;
    case 4: result = erase(logger); break;
    case 5: result = writeSettings(logger); break;
    case 6: result = readSettings(logger); break;
    case 7: result = readInformation(logger); break;
    case 8: result = readGpsTime(logger); break;
    case 9: result = upgradeFirmware(logger); break;
    default: break;
    }
    if (std::getenv("TRK_FUZZ_TRACE") != nullptr) std::fprintf(stderr, "operation %d: result %d\n", operation, result);
    FUZZ_CHECK(std::filesystem::current_path() == before);
    // A request that did not go out can have no successful answer.
    if (isSuccess(result)) FUZZ_CHECK(!logger.writeFailed);
    if (!wasInDumpMode && operation >= 3) FUZZ_CHECK(result == 26);
    // Only entering, leaving, a finished upgrade and a port that hung up
    // change dump mode; after a hang-up the port is closed.
    if (operation >= 3 && wasInDumpMode && logger.hungUp()) {
        FUZZ_CHECK(!linkState().dumpMode.inDumpMode && !serial::portIsOpen());
    } else if (operation >= 3 && result != 35) {
        FUZZ_CHECK(linkState().dumpMode.inDumpMode == wasInDumpMode);
        FUZZ_CHECK(serial::portIsOpen() == wasInDumpMode);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    linkState().testHooks.secondsSource = lookAtTheClock;
    linkState().testHooks.readTimeoutMs = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const int first = (data[0] & 0x0F) % 10;
    const int second = data[0] >> 4;
    const InFolder in(folders().home);
    ScriptedLogger logger(data + 1, size - 1);
    linkState().testHooks.portStandIn = &logger;
    // Every operation but entering starts in dump mode.
    if (first >= 2) {
        FUZZ_CHECK(serial::openPort(kCom, dumpmode::kBaudRate) == serial::OpenOutcome::opened);
        linkState().dumpMode.inDumpMode = true;
    }
    run(first, logger);
    if (second < 10) run(second, logger);

    dumpmode::leave();
    serial::closePort();
    linkState().testHooks.portStandIn = nullptr;
    return 0;
}
