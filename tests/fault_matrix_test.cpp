// Every device operation against every fault the simulated logger can inject
// into the reply the operation waits for. Each cell checks the result, a
// generous upper bound on the time taken, dump mode and the port, the current
// directory, the descriptors the process holds, and that an earlier track
// text is still there unless a readout succeeded.
//
// The clock's second changes at every look, so a wait of limit L ends after
// L + 1 empty reads; the real timing of the waits is covered by the tests of
// each operation.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "log/track_text.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/firmware_file_builder.h"
#include "support/test_clocks.h"

#include <chrono>
#include <filesystem>
#include <thread>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;
using sim::FaultTarget;

namespace {

enum class Operation {
    enter,
    scan,
    leave,
    download,
    erase,
    settingsWrite,
    settingsRead,
    information,
    gpsTime,
    firmwareUpgrade
};

constexpr FaultKind kFaults[] = {
    FaultKind::silence,        FaultKind::stall,      FaultKind::hangup,        FaultKind::garbage,
    FaultKind::splitEndMarker, FaultKind::shortReply, FaultKind::checksumError, FaultKind::noTerminatingZero};
constexpr int kFaultCount = static_cast<int>(std::size(kFaults));

struct OperationRow {
    Operation operation;
    const char *name;
    int target;         // the reply that suffers the fault
    int readTimeoutMs;  // a short one where only long waits for nothing would follow
    int boundMs;        // generous: a hang would take minutes
    // The result for each fault, in the order of kFaults.
    int32_t results[kFaultCount];
};

constexpr int kHandshake = static_cast<int>(FaultTarget::handshake);
constexpr int kAnyReply = static_cast<int>(FaultTarget::anyReply);

// clang-format off
const OperationRow kRows[] = {
    //                                                                      silence stall hangup garbage split short checksum no-zero
    // The ready reply must come whole, with its zero byte, in one read; it has no end marker.
    {Operation::enter,           "Enter",           kHandshake, 100,  3000, {4,  4,  4,  4,  24, 4,  24, 4}},
    {Operation::scan,            "Scan",            kHandshake, 100,  5000, {4,  4,  4,  4,  24, 4,  24, 4}},
    // Nothing is read when leaving.
    {Operation::leave,           "Leave",           kAnyReply,  100,  3000, {25, 25, 25, 25, 25, 25, 25, 25}},
    // The stream tolerates a pause; the image must be whole and the end marker
    // follow it directly, though it may come in pieces.
    {Operation::download,        "Download",        0x60,       100, 20000, {12, 2,  12, 12, 2,  12, 2,  12}},
    // The erase's reply is the end marker alone; it counts once it has come
    // whole, in pieces or behind stray bytes.
    {Operation::erase,           "Erase",           0x61,       20,   8000, {12, 13, 12, 13, 13, 12, 13, 12}},
    // Verdict and end marker each come whole in one read, or the wait ends.
    {Operation::settingsWrite,   "SettingsWrite",   0x55,       100,  8000, {12, 12, 12, 12, 12, 12, 18, 12}},
    // Record and information count when the end marker follows them directly;
    // a pause inside the reply is waited out.
    {Operation::settingsRead,    "SettingsRead",    0x62,       100,  5000, {12, 22, 12, 12, 22, 12, 22, 12}},
    {Operation::information,     "Information",     0x5B,       100,  5000, {28, 29, 12, 12, 29, 12, 29, 12}},
    // The GPS reply has no end marker, no check and no framing: the first six
    // bytes that come are the time, so a reply cut after them still gives it,
    // and stray bytes before it cannot be told from it.
    {Operation::gpsTime,         "GpsTime",         0x64,       100,  5000, {38, 39, 39, 39, 39, 39, 39, 39}},
    {Operation::firmwareUpgrade, "FirmwareUpgrade", 0x5D,       100, 10000, {12, 12, 12, 12, 12, 12, 18, 12}},
};
// clang-format on

const char *faultName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::silence: return "Silence";
    case FaultKind::stall: return "Stall";
    case FaultKind::hangup: return "HangUp";
    case FaultKind::garbage: return "Garbage";
    case FaultKind::splitEndMarker: return "SplitEndMarker";
    case FaultKind::shortReply: return "ShortReply";
    case FaultKind::checksumError: return "ChecksumError";
    case FaultKind::noTerminatingZero: return "NoTerminatingZero";
    default: return "Other";
    }
}

int openDescriptors()
{
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count - 1;  // the one that lists them
}

// A stall outlasts a read time-out (100 ms) well; in the log stream it stays
// well within the two empty reads that the stream may take. A hang-up comes
// after the bytes before it were read. A split end marker's second part comes
// after a wait for it would have ended.
int pauseFor(FaultKind fault, Operation operation)
{
    switch (fault) {
    case FaultKind::stall: return operation == Operation::download ? 150 : 300;
    case FaultKind::hangup: return 50;
    default: return 300;
    }
}

const std::string kEarlierTrack = "an earlier readout\r\n";

using Cell = std::tuple<int, int>;  // row, fault

class FaultMatrixTest : public DeviceTest, public ::testing::WithParamInterface<Cell> {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        work = dir / "work";
        std::filesystem::create_directories(work / "wav");
        for (const char *name : {"battery_low.wav", "BT_close.wav", "BT_open.wav", "Error_Beep.wav", "GPS_search.wav",
                                 "GPS_search_finished.wav", "OK_Beep.wav", "OK1_Beep.wav"})
            writeFile(work / "wav" / name, std::string(100, name[0]));
        // Made once: a busy test thread would starve the simulator of the few
        // milliseconds it has for the banner.
        static const FirmwareFile firmware = buildFirmwareFile(0x0B);
        static const sim::GeneratedLog log = sim::generateLog(sim::LogShape::drive, 5);
        writeFirmwareFile(work / "bin", firmware);
        writeFile(work / "Wayfolk.txt", kEarlierTrack);
        logger->withState([&](sim::DeviceState &state) {
            state.logImage = log.image;
            // Stray bytes before the erase's end marker come well apart from it.
            state.eraseMilliseconds = 100;
        });
    }

    int32_t perform(Operation operation)
    {
        switch (operation) {
        case Operation::enter: return QZ_TRK7700_INTO_DUMP_MODE(kCom);
        case Operation::scan: {
            int32_t found = 0;
            return QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found);
        }
        case Operation::leave: return QZ_TRK7700_EXIT_DUMP_MODE();
        case Operation::download: return QZ_TRK7700_DUMP_DB(kCom, (work / "Wayfolk.txt").c_str());
        case Operation::erase: return QZ_TRK7700_ERASE_All_DB(kCom);
        case Operation::settingsWrite: return QZ_TRK7700_SETTING_DEVICE(kCom, 5, 0, 2, 1, (work / "wav").c_str(), 0);
        case Operation::settingsRead: {
            int32_t time = 0, distance = 0;
            uint8_t vibration = 0, tag = 0, minSpeed = 0;
            return QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &minSpeed);
        }
        case Operation::information: {
            int32_t serialNumber = 0;
            char version[5] = {};
            return QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version);
        }
        case Operation::gpsTime: {
            uint8_t v[6] = {};
            return QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
        }
        case Operation::firmwareUpgrade: return QZ_TRK7700_FW_UPGRADE(kCom, (work / "bin").c_str());
        }
        return 0;
    }

    // Dump mode for the operations that need it. Entering is not under test
    // here: a second try covers a machine so busy that the ready reply came late.
    bool connectedBeforeTheFault()
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (QZ_TRK7700_INTO_DUMP_MODE(kCom) == return_into_dump_mode_successful) {
                logger->clearReceived();
                return true;
            }
            waitForPortClosed();
        }
        return false;
    }

    // The simulator makes a new pseudo-terminal after a hang-up; give it a moment to settle.
    int descriptorsOnceSettled(int expected)
    {
        int count = openDescriptors();
        for (int i = 0; i < 100 && count != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            count = openDescriptors();
        }
        return count;
    }

    std::filesystem::path work;
};

}  // namespace

TEST_P(FaultMatrixTest, Cell)
{
    const OperationRow &row = kRows[std::get<0>(GetParam())];
    const int faultIndex = std::get<1>(GetParam());
    const FaultKind fault = kFaults[faultIndex];
    const int32_t expected = row.results[faultIndex];
    const bool entering = row.operation == Operation::enter || row.operation == Operation::scan;

    const int descriptorsWithoutPort = openDescriptors();
    if (!entering) {
        ASSERT_TRUE(connectedBeforeTheFault());
    }
    logger->setFaults({Fault{fault, row.target, 0, pauseFor(fault, row.operation)}});
    secondsLookups = 0;
    linkState().testHooks.secondsSource = countingSeconds;
    linkState().testHooks.readTimeoutMs = row.readTimeoutMs;

    const auto directoryBefore = std::filesystem::current_path();
    const auto started = std::chrono::steady_clock::now();
    const int32_t result = perform(row.operation);
    const auto tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();

    EXPECT_EQ(result, expected) << trk7700_result_name(result);
    EXPECT_LT(tookMs, row.boundMs);
    EXPECT_EQ(std::filesystem::current_path(), directoryBefore);

    // Dump mode and the port: entering opens both only on success, leaving and
    // a finished upgrade close both, every other result leaves them open.
    bool openAfter = true;
    if (entering) openAfter = result == return_into_dump_mode_successful;
    if (row.operation == Operation::leave || result == return_upgrade_firmware_successful) openAfter = false;
    // A port that hung up under an operation is closed and dump mode ends with it.
    if (fault == FaultKind::hangup) openAfter = false;
    EXPECT_EQ(linkState().dumpMode.inDumpMode, openAfter);
    EXPECT_EQ(serial::portIsOpen(), openAfter);
    // Nothing else stays open: no file of the operation, no second handle on the port.
    const int expectedDescriptors = descriptorsWithoutPort + (openAfter ? 1 : 0);
    EXPECT_EQ(descriptorsOnceSettled(expectedDescriptors), expectedDescriptors);

    // A failed run destroys no earlier output; only a whole readout replaces it.
    const std::string track = readFile(work / "Wayfolk.txt");
    if (result == return_dump_db_successful) {
        EXPECT_EQ(track.rfind(log::kGgaHeaderLine, 0), 0u);
        EXPECT_GT(track.size(), 1000u);
    } else {
        EXPECT_EQ(track, kEarlierTrack);
        EXPECT_FALSE(std::filesystem::exists(work / log::kTrackNewFile));
    }
}

INSTANTIATE_TEST_SUITE_P(AllOperations, FaultMatrixTest,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kRows))),
                                            ::testing::Range(0, kFaultCount)),
                         [](const auto &info) {
                             return std::string(kRows[std::get<0>(info.param)].name) + "_" +
                                    faultName(kFaults[std::get<1>(info.param)]);
                         });
