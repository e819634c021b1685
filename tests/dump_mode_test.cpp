// Entering and leaving dump mode, the port scan, and what the logger sees on the wire.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "support/device_fixture.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <unistd.h>
#include <sys/file.h>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;
using sim::FaultTarget;
using sim::WireEvent;

namespace {

std::vector<uint8_t> withNul(const std::string &text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

const auto kGreeting = withNul("Q'Z Camera Detect");
const auto kExit = withNul("QZ AP-Exit");

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

using DumpModeTest = DeviceTest;

TEST_F(DumpModeTest, EnterSendsGreetingAndSecondEnterChangesNothing)
{
    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), 24);
    EXPECT_EQ(logger->receivedBytes(), kGreeting);
    EXPECT_TRUE(logger->inDumpMode());

    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), 3);
    int32_t found = -1;
    EXPECT_EQ(QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found), 3);
    EXPECT_EQ(found, -1) << "the out value is written only on success";
    EXPECT_EQ(logger->receivedBytes(), kGreeting) << "a second enter sends nothing";
    EXPECT_EQ(logger->openCount(), 1) << "a second enter neither closes nor reopens the port";
    EXPECT_TRUE(serial::portIsOpen());

    EXPECT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), 25);
    EXPECT_FALSE(serial::portIsOpen());
    EXPECT_TRUE(waitForPortClosed());
    EXPECT_EQ(logger->receivedBytes(), concat(kGreeting, kExit));
}

TEST_F(DumpModeTest, LeaveOutsideDumpModeSendsNothing)
{
    EXPECT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), 25);
    EXPECT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), 25);
    EXPECT_TRUE(logger->receivedBytes().empty());
    EXPECT_EQ(logger->openCount(), 0);
}

TEST_F(DumpModeTest, EnterAgainAfterLeaving)
{
    connect();
    EXPECT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), 25);
    ASSERT_TRUE(waitForPortClosed());
    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), 24);
    EXPECT_EQ(logger->openCount(), 2);
}

struct FailedHandshakeCase {
    const char *name;
    std::vector<Fault> faults;
};

void PrintTo(const FailedHandshakeCase &c, std::ostream *os) { *os << c.name; }

class FailedHandshakeTest : public DeviceTest, public ::testing::WithParamInterface<FailedHandshakeCase> {};

TEST_P(FailedHandshakeTest, GivesFourSendsExitAndClosesThePort)
{
    logger->setFaults(GetParam().faults);
    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), 4);
    EXPECT_FALSE(serial::portIsOpen());
    EXPECT_FALSE(linkState().dumpMode.inDumpMode);
    EXPECT_TRUE(waitForPortClosed());
    EXPECT_EQ(logger->receivedBytes(), concat(kGreeting, kExit));
    // Still out of dump mode: device operations refuse.
    EXPECT_EQ(QZ_TRK7700_ERASE_All_DB(kCom), 26);
}

const int kHandshake = static_cast<int>(FaultTarget::handshake);
INSTANTIATE_TEST_SUITE_P(
    Faults, FailedHandshakeTest,
    ::testing::Values(FailedHandshakeCase{"ReadyWithoutZero", {Fault{FaultKind::noTerminatingZero, kHandshake}}},
                      FailedHandshakeCase{"SilentDevice", {Fault{FaultKind::silence, kHandshake}}},
                      FailedHandshakeCase{"ShortReady", {Fault{FaultKind::shortReply, kHandshake, 4}}},
                      FailedHandshakeCase{"GarbageFirst", {Fault{FaultKind::garbage, kHandshake}}},
                      FailedHandshakeCase{"SlowReady", {Fault{FaultKind::stall, kHandshake, 5, 250}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DumpModeTest, OnAGivenPortTheBannerIsNotLookedFor)
{
    auto quiet = addLogger(5, /*sendBanner=*/false);
    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(5), 24);
    EXPECT_EQ(quiet->receivedBytes(), kGreeting);
}

TEST_F(DumpModeTest, PortsThatCannotBeOpened)
{
    // COM0 never opens; COM9 has no entry; COM4 points to something that is no terminal.
    writeFile(dir / "plain", "not a port");
    std::filesystem::create_symlink(dir / "plain", std::filesystem::path(portDir) / "COM4");
    for (int com : {0, 9, 4, 256, 256 + kCom}) {
        EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(com), com == 256 + kCom ? 24 : 3) << "COM " << com;
        QZ_TRK7700_EXIT_DUMP_MODE();
    }
}

TEST_F(DumpModeTest, PortInUseByAnotherProgramCannotBeOpened)
{
    connect();
    // A second program opening the same device the library's way is refused
    // while the library holds it: TIOCEXCL stops ordinary users, the lock stops
    // root as well.
    const int fd = ::open(logger->portEntry().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
    }
}

TEST_F(DumpModeTest, ScanPicksTheLowestPortShowingTheBanner)
{
    auto later = addLogger(7);
    auto quiet = addLogger(2, /*sendBanner=*/false);
    int32_t found = 0;
    EXPECT_EQ(QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found), 24);
    EXPECT_EQ(found, kCom);
    EXPECT_EQ(linkState().dumpMode.detectedPort, kCom);
    EXPECT_EQ(quiet->openCount(), 1) << "COM2 was tried before COM3";
    EXPECT_TRUE(quiet->receivedBytes().empty()) << "nothing is sent to a port without banner";
    EXPECT_EQ(later->openCount(), 0) << "ports after the found one are not touched";
    EXPECT_EQ(logger->receivedBytes(), kGreeting);
}

TEST_F(DumpModeTest, ScanSkipsABannerBehindAZeroByte)
{
    logger->setFaults({Fault{FaultKind::nulBeforeBanner, static_cast<int>(FaultTarget::banner)}});
    auto later = addLogger(7);
    int32_t found = 0;
    EXPECT_EQ(QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found), 24);
    EXPECT_EQ(found, 7);
    EXPECT_TRUE(logger->receivedBytes().empty());
}

TEST_F(DumpModeTest, ScanWithoutAnyBannerGivesThreeAndNoPort)
{
    logger->setFaults({Fault{FaultKind::silence, static_cast<int>(FaultTarget::banner)}});
    linkState().dumpMode.detectedPort = 42;
    int32_t found = -1;
    EXPECT_EQ(QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found), 3);
    EXPECT_EQ(found, -1);
    EXPECT_EQ(linkState().dumpMode.detectedPort, 0);
    EXPECT_FALSE(serial::portIsOpen());
    EXPECT_TRUE(logger->receivedBytes().empty());
}

TEST_F(DumpModeTest, ScanThatFailsTheHandshakeStopsThere)
{
    logger->setFaults({Fault{FaultKind::noTerminatingZero, kHandshake}});
    auto later = addLogger(7);
    int32_t found = -1;
    EXPECT_EQ(QZ_TRK7700_AUTO_INTO_DUMP_MODE(&found), 4);
    EXPECT_EQ(found, -1);
    EXPECT_TRUE(waitForPortClosed());
    EXPECT_EQ(logger->receivedBytes(), concat(kGreeting, kExit));
    EXPECT_EQ(later->openCount(), 0);
}

TEST_F(DumpModeTest, DeviceCallsOutsideDumpModeSendNothing)
{
    char text[16] = "untouched";
    int32_t a = 7, b = 7;
    uint8_t h = 1, m = 2, s = 3, y = 4, mo = 5, d = 6;
    EXPECT_EQ(QZ_TRK7700_DUMP_DB(kCom, (dir / "out.txt").c_str()), 26);
    EXPECT_EQ(QZ_TRK7700_ERASE_All_DB(kCom), 26);
    EXPECT_EQ(QZ_TRK7700_READ_SETTING_VALUE(kCom, &a, &b, &h, &h, &h), 26);
    h = 1;
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &a, text), 26);
    EXPECT_EQ(QZ_TRK7700_FW_UPGRADE(kCom, "/no/such/folder"), 26);
    EXPECT_EQ(QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&h, &m, &s, &y, &mo, &d), 26);
    EXPECT_EQ(h, 255);
    EXPECT_EQ(m, 255);
    EXPECT_EQ(s, 255);
    EXPECT_EQ(y, 4);
    EXPECT_EQ(mo, 5);
    EXPECT_EQ(d, 6);
    EXPECT_EQ(a, 7);
    EXPECT_STREQ(text, "untouched");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
    EXPECT_EQ(logger->openCount(), 0);
}

TEST_F(DumpModeTest, CommandFrameAndMemorySize)
{
    connect();
    logger->withState([](sim::DeviceState &s) { s.memorySizeReply = 0x800000; });
    EXPECT_EQ(dumpmode::queryMemorySize(), 0x800000);
    EXPECT_EQ(linkState().dumpMode.memorySize, 0x800000);
    ASSERT_EQ(commandsReceived().size(), 1u);
    EXPECT_EQ(commandsReceived()[0], (std::vector<uint8_t>{0x63, 0xB7, 0, 0, 0, 0, 0}));

    logger->clearReceived();
    dumpmode::sendCommand(dumpmode::CMD_UPLOAD_FIRMWARE, 0x00010000, 0x5A);
    serial::readSome(linkState().port.ioBuffer, 1);  // let it arrive
    ASSERT_EQ(commandsReceived().size(), 1u);
    EXPECT_EQ(commandsReceived()[0], (std::vector<uint8_t>{0x5D, 0xB2, 0x00, 0x00, 0x01, 0x00, 0x5A}));
}

TEST_F(DumpModeTest, UnacceptedMemorySizeFallsBackToFourMiB)
{
    connect();
    logger->withState([](sim::DeviceState &s) { s.memorySizeReply = 0x300000; });
    EXPECT_EQ(dumpmode::queryMemorySize(), 0x400000);
    EXPECT_EQ(commandsReceived().size(), 1u) << "the command is not sent again";
}

TEST_F(DumpModeTest, EndMarkerCountsOnceItHasComeWhole)
{
    connect();
    const int32_t kErase = 0x61;
    logger->setFaults({Fault{FaultKind::splitEndMarker, kErase, 0, 300}});
    dumpmode::sendCommand(dumpmode::CMD_ERASE_LOG);
    EXPECT_TRUE(dumpmode::waitEndMarker()) << "a marker in two pieces";

    logger->setFaults({Fault{FaultKind::noTerminatingZero, kErase}});
    dumpmode::sendCommand(dumpmode::CMD_ERASE_LOG);
    EXPECT_FALSE(dumpmode::waitEndMarker()) << "a marker without its zero byte";
    EXPECT_TRUE(linkState().dumpMode.inDumpMode) << "a time-out does not leave dump mode";

    logger->clearFaults();
    dumpmode::sendCommand(dumpmode::CMD_ERASE_LOG);
    EXPECT_TRUE(dumpmode::waitEndMarker());
}

TEST(SerialLinkTest, ClosingTwiceAndWritingNothingAreHarmless)
{
    serial::closePort();
    serial::closePort();
    EXPECT_FALSE(serial::portIsOpen());
    EXPECT_TRUE(serial::writeAll(nullptr, 0));
    EXPECT_FALSE(serial::writeAll(reinterpret_cast<const uint8_t *>("x"), 1)) << "no port: the write gives up";
}

TEST(LeftoversTest, TemplateLeftovers)
{
    EXPECT_EQ(fnTRK7700_DLL(), 42);
    EXPECT_EQ(nTRK7700_DLL, 0);
    CTRK7700_DLL a, b;
    a = b;
}
