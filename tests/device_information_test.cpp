// Device information, GPS time and library version.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"
#include "support/device_fixture.h"
#include "support/test_clocks.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;

namespace {

constexpr int kInformationCode = 0x5B;
constexpr int kGpsCode = 0x64;

struct InformationCase {
    const char *name;
    uint8_t firmwareVersion;
    uint8_t secondVersion;
    uint32_t serialNumber;
    std::vector<Fault> faults;
    int32_t expected;
    const char *versionText;  // with 29
    int32_t serial;           // with 29
};

void PrintTo(const InformationCase &c, std::ostream *os) { *os << c.name; }

class InformationTest : public DeviceTest, public ::testing::WithParamInterface<InformationCase> {};

}  // namespace

TEST_P(InformationTest, Reply)
{
    const auto &c = GetParam();
    logger->withState([&](sim::DeviceState &s) {
        s.firmwareVersion = c.firmwareVersion;
        s.secondVersion = c.secondVersion;
        s.serialNumber = c.serialNumber;
    });
    logger->setFaults(c.faults);
    connect();
    // Waits that are meant to run out end quickly.
    if (c.expected != return_read_device_information_successful) linkState().testHooks.secondsSource = fastSeconds;

    int32_t serial = -7;
    char version[6] = "xxxxx";  // the tool passes five blanks
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serial, version), c.expected);
    if (c.expected == return_read_device_information_successful) {
        EXPECT_STREQ(version, c.versionText);
        EXPECT_EQ(serial, c.serial);
    } else {
        EXPECT_STREQ(version, "xxxxx") << "written only on success";
        EXPECT_EQ(serial, -7) << "written only on success";
    }
    EXPECT_EQ(commandsReceived(), (std::vector<std::vector<uint8_t>>{{0x5B, 0xB0, 0, 0, 0, 0, 0}}));
    EXPECT_TRUE(linkState().dumpMode.inDumpMode);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, InformationTest,
    ::testing::Values(
        // Serial bytes 0x39 0x30 0x00 0x00 on the wire.
        InformationCase{"Version12", 0x0A, 0x0A, 12345, {}, return_read_device_information_successful, "1.2", 12345},
        InformationCase{"Version102", 0x52, 0x0A, 12345, {}, return_read_device_information_successful, "10.2", 12345},
        InformationCase{
            "HighestMajor", 0xFE, 0x00, 0xFFFFFFFE, {}, return_read_device_information_successful, "31.6", -2},
        InformationCase{"LateButWithinTheReadTimeOut",
                        0x0A,
                        0x0A,
                        7,
                        {Fault{FaultKind::lateReply, kInformationCode, 0, 40}},
                        return_read_device_information_successful,
                        "1.2",
                        7},
        InformationCase{"FirstByteInvalid", 0xFF, 0x0A, 12345, {}, return_device_information_invalid, "", 0},
        InformationCase{"SecondByteInvalid", 0x0A, 0xFF, 12345, {}, return_device_information_invalid, "", 0},
        InformationCase{"ReplyTooShortForTheSerial",
                        0x0A,
                        0x0A,
                        12345,
                        {Fault{FaultKind::shortReply, kInformationCode, 6}},
                        return_device_information_invalid,
                        "",
                        0},
        InformationCase{"NoReply",
                        0x0A,
                        0x0A,
                        12345,
                        {Fault{FaultKind::silence, kInformationCode}},
                        return_device_information_no_answer,
                        "",
                        0},
        InformationCase{"NoEndMarker",
                        0x0A,
                        0x0A,
                        12345,
                        {Fault{FaultKind::noEndMarker, kInformationCode}},
                        return_device_time_out,
                        "",
                        0}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {

struct GpsCase {
    const char *name;
    bool hasTime;
    std::vector<Fault> faults;
    int32_t expected;
};

void PrintTo(const GpsCase &c, std::ostream *os) { *os << c.name; }

class GpsTimeTest : public DeviceTest, public ::testing::WithParamInterface<GpsCase> {};

}  // namespace

TEST_P(GpsTimeTest, Reply)
{
    const auto &c = GetParam();
    logger->withState([&](sim::DeviceState &s) {
        s.gpsHasTime = c.hasTime;
        s.gpsTime = {12, 34, 56, 24, 5, 17};
    });
    logger->setFaults(c.faults);
    connect();
    if (c.expected != return_read_gps_utc_time_successful) linkState().testHooks.secondsSource = fastSeconds;

    uint8_t hour = 1, minute = 2, second = 3, year = 4, month = 5, day = 6;
    EXPECT_EQ(QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&hour, &minute, &second, &year, &month, &day), c.expected);
    if (c.expected == return_read_gps_utc_time_successful) {
        EXPECT_EQ((std::vector<int>{hour, minute, second, year, month, day}),
                  (std::vector<int>{12, 34, 56, 24, 5, 17}));
    } else {
        EXPECT_EQ((std::vector<int>{hour, minute, second, year, month, day}),
                  (std::vector<int>{255, 255, 255, 4, 5, 6}));
    }
    EXPECT_EQ(commandsReceived(), (std::vector<std::vector<uint8_t>>{{0x64, 0xB8, 0, 0, 0, 0, 0}}));
    EXPECT_TRUE(linkState().dumpMode.inDumpMode);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, GpsTimeTest,
    ::testing::Values(GpsCase{"TimeKnown", true, {}, return_read_gps_utc_time_successful},
                      GpsCase{"NoTimeYet", false, {}, return_read_gps_utc_time_invalid},
                      GpsCase{"NoReply", true, {Fault{FaultKind::silence, kGpsCode}}, return_read_gps_utc_time_invalid},
                      GpsCase{"ReplyAfterEmptyReads",
                              true,
                              {Fault{FaultKind::lateReply, kGpsCode, 0, 350}},
                              return_read_gps_utc_time_successful},
                      GpsCase{"ReplyAfterTheTickLimit",
                              true,
                              {Fault{FaultKind::lateReply, kGpsCode, 0, 3000}},
                              return_read_gps_utc_time_invalid},
                      GpsCase{"ReplyWithoutDate",
                              true,
                              {Fault{FaultKind::shortReply, kGpsCode, 4}},
                              return_read_gps_utc_time_invalid}),
    [](const auto &info) { return std::string(info.param.name); });

using DeviceInformationTest = DeviceTest;

TEST_F(DeviceInformationTest, OutsideDumpMode)
{
    uint8_t hour = 1, minute = 2, second = 3, year = 4, month = 5, day = 6;
    EXPECT_EQ(QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&hour, &minute, &second, &year, &month, &day), return_not_dump_mode);
    EXPECT_EQ((std::vector<int>{hour, minute, second, year, month, day}), (std::vector<int>{255, 255, 255, 4, 5, 6}));
    int32_t serial = -7;
    char version[6] = "xxxxx";
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serial, version), return_not_dump_mode);
    EXPECT_EQ(serial, -7);
    EXPECT_STREQ(version, "xxxxx");
    EXPECT_EQ(logger->openCount(), 0);
}

TEST_F(DeviceInformationTest, LibraryVersionNeedsNoPort)
{
    char version[6] = "xxxxx";
    EXPECT_EQ(QZ_TRK7700_READ_DLL_VERSION(version), return_read_dll_version_successful);
    EXPECT_STREQ(version, "1.5");
    EXPECT_EQ(version[4], 'x') << "four bytes written";
    EXPECT_FALSE(serial::portIsOpen());
}

// The tool reads the settings right after the information; a reply marked
// invalid must not leave its tail on the line for that read to take.
TEST_F(DeviceInformationTest, InvalidInformationDoesNotSpoilTheNextReply)
{
    logger->withState([](sim::DeviceState &s) {
        s.secondVersion = 0xFF;
        s.settingsRecord[0] = 30;
        s.settingsRecord[1] = s.settingsRecord[2] = s.settingsRecord[3] = 0;
    });
    connect();
    int32_t serial = 0;
    char version[6] = "";
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serial, version), return_device_information_invalid);
    int32_t time = 0, distance = 0;
    uint8_t vibration = 0, tag = 0, speed = 0;
    EXPECT_EQ(QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &speed),
              return_read_setting_value_successful);
    EXPECT_EQ(time, 30);
}

// Leftovers of a reply that arrived too late are dropped before the next command.
TEST_F(DeviceInformationTest, LateLeftoversAreNotTakenForTheNextReply)
{
    logger->setFaults({Fault{FaultKind::lateReply, kGpsCode, 0, 150}});
    connect();
    linkState().testHooks.secondsSource = countingSeconds;
    linkState().testHooks.readTimeoutMs = 10;  // the wait gives up long before the reply comes
    uint8_t h, m, s, y, mo, d;
    EXPECT_EQ(QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&h, &m, &s, &y, &mo, &d), return_read_gps_utc_time_invalid);
    linkState().testHooks = {};                                   // the real clock and read time-out again
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the late GPS reply is on the line now
    logger->clearFaults();
    int32_t serialNumber = 0;
    char version[6] = "";
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version),
              return_read_device_information_successful);
    EXPECT_EQ(serialNumber, 12345);
}
