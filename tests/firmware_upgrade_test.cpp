// The firmware upgrade: dump mode first, the image check, the upload with its
// own header and checksum, the settling pause, and the end of the connection.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"
#include "support/device_fixture.h"
#include "support/firmware_file_builder.h"
#include "support/test_clocks.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <fstream>
#include <string>
#include <vector>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;
using sim::WireEvent;
namespace fs = std::filesystem;

namespace {

constexpr int kFirmwareCode = 0x5D;

uint8_t xorOf(const std::vector<uint8_t> &bytes, size_t count)
{
    uint8_t x = 0;
    for (size_t i = 0; i < count; ++i) x ^= bytes[i];
    return x;
}

class FirmwareUpgradeTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        inTempDir.emplace(dir.path());
        start = fs::current_path();
        for (const char *name : {"battery_low.wav", "BT_close.wav", "BT_open.wav", "Error_Beep.wav", "GPS_search.wav",
                                 "GPS_search_finished.wav", "OK_Beep.wav", "OK1_Beep.wav"}) {
            fs::create_directories(dir / "wav");
            writeFile(dir / "wav" / name, "RIFF");
        }
    }
    void TearDown() override
    {
        inTempDir.reset();
        DeviceTest::TearDown();
    }

    int32_t upgrade(const std::string &folder)
    {
        const int32_t result = QZ_TRK7700_FW_UPGRADE(kCom, folder.c_str());
        EXPECT_EQ(fs::current_path(), start) << "current directory after result " << result;
        return result;
    }

    bool exitRequestSeen() const
    {
        for (const auto &e : logger->events())
            if (e.kind == WireEvent::Kind::exitRequest) return true;
        return false;
    }

    // Every call that needs dump mode refuses.
    void expectEveryDeviceCallRefused()
    {
        int32_t a = -7, b = -7;
        uint8_t h = 1, m = 2, s = 3, y = 4, mo = 5, d = 6;
        char text[8] = "xxxxxxx";
        EXPECT_EQ(QZ_TRK7700_DUMP_DB(kCom, (dir / "log" / "out.txt").c_str()), return_not_dump_mode);
        EXPECT_EQ(QZ_TRK7700_ERASE_All_DB(kCom), return_not_dump_mode);
        EXPECT_EQ(QZ_TRK7700_SETTING_DEVICE(kCom, 5, 0, 2, 1, (dir / "wav").c_str(), 0), return_not_dump_mode);
        EXPECT_EQ(QZ_TRK7700_READ_SETTING_VALUE(kCom, &a, &b, &h, &h, &h), return_not_dump_mode);
        EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &a, text), return_not_dump_mode);
        EXPECT_EQ(QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&h, &m, &s, &y, &mo, &d), return_not_dump_mode);
        EXPECT_EQ(upgrade((dir / "bin").string()), return_not_dump_mode);
        EXPECT_EQ(a, -7);
        EXPECT_STREQ(text, "xxxxxxx");
        EXPECT_EQ(fs::current_path(), start);
    }

    std::optional<ScopedCurrentDirectory> inTempDir;
    fs::path start;
};

}  // namespace

TEST_F(FirmwareUpgradeTest, OutsideDumpModeNothingElseIsLookedAt)
{
    writeFirmwareFile(dir / "bin", buildFirmwareFile(0x0B));
    EXPECT_EQ(upgrade((dir / "no-such-folder").string()), return_not_dump_mode);
    EXPECT_EQ(upgrade((dir / "bin").string()), return_not_dump_mode);
    EXPECT_EQ(upgrade(std::string(5000, 'x')), return_not_dump_mode);
    EXPECT_EQ(logger->openCount(), 0);
}

TEST_F(FirmwareUpgradeTest, SendsThePlainImageThenEndsTheConnection)
{
    const FirmwareFile file = buildFirmwareFile(0xCB);
    writeFirmwareFile(dir / "bin", file);
    connect();
    linkState().testHooks.secondsSource = fastSeconds;
    EXPECT_EQ(upgrade("bin"), return_upgrade_firmware_successful);

    // The header 0x5D 0xB2, the length 65,536 and X over the first 65,408 plain
    // bytes; then the plain image, its last 16 bytes zero.
    const std::vector<uint8_t> header{0x5D, 0xB2, 0x00, 0x00, 0x01, 0x00, xorOf(file.plain, 65408)};
    ASSERT_NE(xorOf(file.plain, 65408), xorOf(file.plain, 65536)) << "this image shows the coverage of X";
    std::vector<uint8_t> expected = header;
    expected.insert(expected.end(), file.plain.begin(), file.plain.end());
    EXPECT_TRUE(waitForPortClosed());
    EXPECT_EQ(logger->receivedBytes(), expected) << "nothing after the image, not even the exit request";
    EXPECT_FALSE(exitRequestSeen());
    EXPECT_FALSE(serial::portIsOpen());
    EXPECT_FALSE(linkState().dumpMode.inDumpMode);

    const auto state = logger->snapshot();
    EXPECT_EQ(state.firmwareUploads, 1);
    EXPECT_EQ(state.lastFirmwareImage, file.plain);

    expectEveryDeviceCallRefused();
    EXPECT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), return_exit_dump_mode);
    EXPECT_FALSE(exitRequestSeen()) << "leaving after the upgrade sends nothing either";

    // The restarted logger reports its new version once connected again.
    ASSERT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), return_into_dump_mode_successful);
    int32_t serialNumber = 0;
    char version[6] = {};
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version),
              return_read_device_information_successful);
    EXPECT_STREQ(version, "1.3");
}

TEST_F(FirmwareUpgradeTest, SettlingPauseContinuesTheVerdictWaitsTickCount)
{
    // A clock that shows a new second at every look: the verdict wait counts
    // one for the "Checksum    OK" unit, the pause goes on until the count
    // exceeds 5, so six looks in all.
    writeFirmwareFile(dir / "bin", buildFirmwareFile(0x0B));
    connect();
    linkState().testHooks.secondsSource = countingSeconds;
    secondsLookups = 0;
    EXPECT_EQ(upgrade("bin"), return_upgrade_firmware_successful);
    EXPECT_EQ(secondsLookups.load(), 6);

    // With the end marker alone the pause has all six ticks to itself.
    ASSERT_TRUE(waitForPortClosed());
    connect();
    logger->setFaults({Fault{FaultKind::endMarkerOnly, kFirmwareCode}});
    secondsLookups = 0;
    EXPECT_EQ(upgrade("bin"), return_upgrade_firmware_successful);
    EXPECT_EQ(secondsLookups.load(), 6);
}

TEST_F(FirmwareUpgradeTest, SettlingPauseInRealTime)
{
    writeFirmwareFile(dir / "bin", buildFirmwareFile(0x0B));
    connect();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(upgrade("bin"), return_upgrade_firmware_successful);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(3900)) << "the logger gets its pause before the port closes";
    EXPECT_LT(took, std::chrono::seconds(30)) << "guard against a hang";
}

struct FailureCase {
    const char *name;
    const char *folder;
    FirmwareFlaw flaw;
    bool hasFile;
    std::vector<Fault> faults;
    int32_t expected;
    bool imageSent;
};

void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

class FirmwareUpgradeFailureTest : public FirmwareUpgradeTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FirmwareUpgradeFailureTest, StaysInDumpMode)
{
    const auto &c = GetParam();
    fs::create_directories(dir / "bin");
    if (c.hasFile) writeFirmwareFile(dir / "bin", buildFirmwareFile(0x0B, c.flaw));
    connect();
    linkState().testHooks.secondsSource = fastSeconds;
    logger->setFaults(c.faults);
    EXPECT_EQ(upgrade(c.folder), c.expected);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode);
    EXPECT_TRUE(serial::portIsOpen());
    EXPECT_EQ(logger->receivedBytes().empty(), !c.imageSent) << "nothing is sent unless the image check passed";
    EXPECT_FALSE(exitRequestSeen());
    EXPECT_EQ(logger->snapshot().firmwareUploads, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FirmwareUpgradeFailureTest,
    ::testing::Values(
        FailureCase{"NoFolder", "nothing-here", FirmwareFlaw::none, false, {}, return_error_bin_file_path, false},
        FailureCase{"NoFile", "bin", FirmwareFlaw::none, false, {}, return_can_not_open_bin_file, false},
        FailureCase{"WrongSize", "bin", FirmwareFlaw::tooLong, true, {}, return_bin_file_size_error, false},
        FailureCase{"WrongIdentification",
                    "bin",
                    FirmwareFlaw::wrongIdentification,
                    true,
                    {},
                    return_not_correct_bin_file,
                    false},
        FailureCase{
            "WrongChecksum", "bin", FirmwareFlaw::wrongChecksum, true, {}, return_bin_file_checksum_error, false},
        FailureCase{"ChecksumErrorThenEndMarker",
                    "bin",
                    FirmwareFlaw::none,
                    true,
                    {Fault{FaultKind::checksumError, kFirmwareCode}},
                    return_device_checksum_error,
                    true},
        FailureCase{"ChecksumErrorWithoutEndMarker",
                    "bin",
                    FirmwareFlaw::none,
                    true,
                    {Fault{FaultKind::checksumError, kFirmwareCode}, Fault{FaultKind::noEndMarker, kFirmwareCode}},
                    return_device_time_out,
                    true},
        FailureCase{"NoVerdict",
                    "bin",
                    FirmwareFlaw::none,
                    true,
                    {Fault{FaultKind::noVerdict, kFirmwareCode}},
                    return_device_time_out,
                    true}),
    [](const auto &info) { return std::string(info.param.name); });
