// A reply counts only when it arrived whole and in place: stray bytes on the
// line (noise, the rest of an interrupted session, a reply that came late)
// never pass for data, whatever the timing. Real clock and real timing here.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;

namespace {

constexpr int kDumpCode = 0x60;
constexpr int kSettingsCode = 0x62;
constexpr int kInformationCode = 0x5B;
constexpr size_t kImageBytes = 3997696;

class ReplyAlignmentTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        work = dir / "work";
        std::filesystem::create_directories(work);
        logger->withState([&](sim::DeviceState &state) {
            state.logImage = log.image;
            state.serialNumber = 987654;
            state.settingsRecord.fill(0xFF);
            state.settingsRecord[0] = 30;  // 30 s
            state.settingsRecord[1] = state.settingsRecord[2] = state.settingsRecord[3] = 0;
            state.settingsRecord[8] = 0;   // vibration off
            state.settingsRecord[24] = 7;  // tag
        });
    }

    std::string download(const std::string &name)
    {
        const int32_t result = QZ_TRK7700_DUMP_DB(kCom, (work / name).c_str());
        return result == return_dump_db_successful ? readFile(work / name) : "result " + std::to_string(result);
    }

    struct Settings {
        int32_t time = -7, distance = -7;
        uint8_t vibration = 77, tag = 77, minSpeed = 77;
        bool operator==(const Settings &) const = default;
    };
    int32_t readSettings(Settings &s)
    {
        return QZ_TRK7700_READ_SETTING_VALUE(kCom, &s.time, &s.distance, &s.vibration, &s.tag, &s.minSpeed);
    }

    const sim::GeneratedLog log = sim::generateLog(sim::LogShape::marks, 31);
    std::filesystem::path work;
};

struct StrayCase {
    const char *name;
    size_t count;
    size_t at;         // payload byte the stray bytes come before (the payload's size: before the marker)
    int markerLateMs;  // 0: the marker follows at once
};

void PrintTo(const StrayCase &c, std::ostream *os) { *os << c.name; }

class StrayBytesInTheLog : public ReplyAlignmentTest, public ::testing::WithParamInterface<StrayCase> {};

TEST_P(StrayBytesInTheLog, FailTheReadoutAndKeepTheEarlierText)
{
    const StrayCase &c = GetParam();
    connect();
    const std::string earlier = "an earlier readout\r\n";
    writeFile(work / "Wayfolk.txt", earlier);
    std::vector<Fault> faults{Fault{FaultKind::strayBytes, kDumpCode, c.at, 0, c.count}};
    if (c.markerLateMs > 0) faults.push_back(Fault{FaultKind::lateEndMarker, kDumpCode, 0, c.markerLateMs});
    logger->setFaults(faults);
    EXPECT_EQ(QZ_TRK7700_DUMP_DB(kCom, (work / "Wayfolk.txt").c_str()), return_device_time_out);
    EXPECT_EQ(readFile(work / "Wayfolk.txt"), earlier);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode);

    // The line is clean again: the next readout is whole.
    logger->clearFaults();
    const std::string text = download("Wayfolk.txt");
    EXPECT_EQ(text.rfind("Tag,$GPGGA", 0), 0u) << text.substr(0, 40);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 2 * static_cast<long>(log.points.size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, StrayBytesInTheLog,
                         ::testing::Values(StrayCase{"OneRecordEarly", 15, 4096, 0},
                                           StrayCase{"TwoRecordsLate", 30, 2000000, 0},
                                           StrayCase{"ThreeLateMarker", 3, 123457, 100},
                                           StrayCase{"TwentyLateMarker", 20, 3000001, 100},
                                           StrayCase{"SixteenBeforeTheMarker", 16, kImageBytes, 0},
                                           StrayCase{"FiveBeforeALateMarker", 5, kImageBytes, 250}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReplyAlignmentTest, InformationCountsOnlyInPlace)
{
    connect();
    struct Case {
        const char *name;
        std::vector<Fault> faults;
        int32_t expected;
    };
    const Case cases[] = {
        {"clean", {}, return_read_device_information_successful},
        {"three stray bytes in front",
         {Fault{FaultKind::strayBytes, kInformationCode, 1, 0, 3}},
         return_device_time_out},
        {"seventeen before the marker",
         {Fault{FaultKind::strayBytes, kInformationCode, 88, 0, 17}},
         return_device_time_out},
        {"stray bytes and a late marker",
         {Fault{FaultKind::strayBytes, kInformationCode, 40, 0, 5},
          Fault{FaultKind::lateEndMarker, kInformationCode, 0, 150}},
         return_device_time_out},
        {"a marker that comes late",
         {Fault{FaultKind::lateEndMarker, kInformationCode, 0, 300}},
         return_read_device_information_successful},
    };
    for (const Case &c : cases) {
        logger->setFaults(c.faults);
        int32_t serialNumber = -1;
        char version[8] = "xyz";
        EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version), c.expected) << c.name;
        if (c.expected == return_read_device_information_successful) {
            EXPECT_EQ(serialNumber, 987654) << c.name;
            EXPECT_STREQ(version, "1.2") << c.name;
        } else {
            EXPECT_EQ(serialNumber, -1) << c.name << ": untouched";
            EXPECT_STREQ(version, "xyz") << c.name << ": untouched";
        }
    }
}

TEST_F(ReplyAlignmentTest, ALateReplyIsNotTakenForTheNextOne)
{
    connect();
    // The information comes after the library gave up on it; the settings
    // read right after must get its own record, not the information's bytes.
    logger->setFaults({Fault{FaultKind::lateReply, kInformationCode, 0, 300}});
    int32_t serialNumber = -1;
    char version[8] = "";
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version), return_device_information_no_answer);
    logger->clearFaults();
    Settings settings;
    ASSERT_EQ(readSettings(settings), return_read_setting_value_successful);
    EXPECT_EQ(settings, (Settings{30, -1, 0, 7, 0}));
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version),
              return_read_device_information_successful);
    EXPECT_EQ(serialNumber, 987654);

    // The same with a late record before an information read.
    logger->setFaults({Fault{FaultKind::lateReply, kSettingsCode, 0, 300}});
    EXPECT_EQ(readSettings(settings), return_device_time_out);
    logger->clearFaults();
    serialNumber = -1;
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &serialNumber, version),
              return_read_device_information_successful);
    EXPECT_EQ(serialNumber, 987654);
}

TEST_F(ReplyAlignmentTest, StaleBytesBehindTheBannerDoNotFailTheConnect)
{
    // A logger still sending after an interrupted session.
    logger->setFaults({Fault{FaultKind::strayBytes, static_cast<int>(sim::FaultTarget::banner), 0, 0, 48}});
    for (int attempt = 0; attempt < 5; ++attempt) {
        ASSERT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), return_into_dump_mode_successful) << "connect " << attempt;
        ASSERT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), return_exit_dump_mode);
        ASSERT_TRUE(waitForPortClosed());
    }
}

TEST_F(ReplyAlignmentTest, CallsFromTwoThreadsAreTakenOneAtATime)
{
    connect();
    const std::string expected = download("clean.txt");
    ASSERT_EQ(expected.rfind("Tag,$GPGGA", 0), 0u);

    // A pause inside the stream keeps the download busy while the GPS read comes.
    logger->setFaults({Fault{FaultKind::stall, kDumpCode, kImageBytes / 3, 800}});
    std::atomic<bool> downloadStarted{false};
    std::string downloaded;
    std::thread reader([&] {
        downloadStarted = true;
        downloaded = download("Wayfolk.txt");
    });
    while (!downloadStarted) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    uint8_t t[6] = {};
    const int32_t gps = QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5]);
    reader.join();
    EXPECT_EQ(gps, return_read_gps_utc_time_successful);
    EXPECT_EQ((std::vector<int>(t, t + 6)), (std::vector<int>{12, 34, 56, 26, 12, 9}));
    EXPECT_TRUE(downloaded == expected) << downloaded.substr(0, 60);
}

TEST_F(ReplyAlignmentTest, TheSearchLeavesOtherDevicesAsItFoundThem)
{
    // Another program's port at 9600 baud with echo on, as COM1; the logger is COM3.
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    cfsetispeed(&before, B9600);
    cfsetospeed(&before, B9600);
    before.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
    std::filesystem::create_symlink(ttyname(slave), std::filesystem::path(portDir) / "COM1");

    int32_t found = 0;
    EXPECT_EQ(QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found), return_into_dump_mode_successful);
    EXPECT_EQ(found, kCom);

    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(after.c_lflag & (ECHO | ICANON), static_cast<tcflag_t>(ECHO | ICANON));
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    ::close(slave);
    ::close(master);
}

}  // namespace
