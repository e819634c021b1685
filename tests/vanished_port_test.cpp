// A port that hangs up (cable pulled, radio link lost; here the simulator
// closes its side) ends the running operation within a second, closes the
// port and ends dump mode, so that the next connect works at once. No wait
// spins: a silent or vanished logger costs next to no processor time. Real
// clock, real time, bounded in wall and processor time.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <chrono>
#include <ctime>
#include <filesystem>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;

namespace {

constexpr int kDumpCode = 0x60;
constexpr int kEraseCode = 0x61;
constexpr size_t kImageBytes = 3997696;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Wall and processor time of one call on this thread.
struct Timed {
    int32_t result;
    double wallSeconds;
    double cpuSeconds;
};

template <class Call>
Timed timed(Call call)
{
    const auto started = std::chrono::steady_clock::now();
    const double cpuBefore = threadCpuSeconds();
    const int32_t result = call();
    return {result, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
            threadCpuSeconds() - cpuBefore};
}

class VanishedPortTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        work = dir / "work";
        std::filesystem::create_directories(work);
        writeFile(work / "Wayfolk.txt", kEarlier);
        logger->withState([&](sim::DeviceState &state) { state.logImage = log.image; });
    }

    // After the hang-up: no port, no dump mode, a device call says so at
    // once, and a new connect needs no exit first.
    void expectDisconnectedAndReconnectable()
    {
        EXPECT_FALSE(linkState().dumpMode.inDumpMode);
        EXPECT_FALSE(serial::portIsOpen());
        int32_t time = 0, distance = 0;
        uint8_t vibration = 0, tag = 0, minSpeed = 0;
        const Timed next =
            timed([&] { return QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &minSpeed); });
        EXPECT_EQ(next.result, return_not_dump_mode);
        EXPECT_LT(next.wallSeconds, 0.1);
        EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), return_into_dump_mode_successful);
        EXPECT_EQ(QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &minSpeed),
                  return_read_setting_value_successful);
    }

    const std::string kEarlier = "an earlier readout\r\n";
    const sim::GeneratedLog log = sim::generateLog(sim::LogShape::drive, 41);
    std::filesystem::path work;
};

TEST_F(VanishedPortTest, EraseOnALargeLoggerEndsAtOnce)
{
    // A 32 MiB logger may take 640 s to erase; the hang-up comes 250 ms in.
    logger->withState([](sim::DeviceState &state) {
        state.memorySizeReply = 0x2000000;
        state.eraseMilliseconds = 200;
    });
    connect();
    logger->setFaults({Fault{FaultKind::hangup, kEraseCode, 0, 50}});
    const Timed erase = timed([] { return QZ_TRK7700_ERASE_All_DB(kCom); });
    EXPECT_EQ(erase.result, return_device_time_out);
    EXPECT_LT(erase.wallSeconds, 1.25 + 0.25);
    EXPECT_LT(erase.cpuSeconds, 0.05 * erase.wallSeconds + 0.02);
    logger->clearFaults();
    expectDisconnectedAndReconnectable();
}

TEST_F(VanishedPortTest, DownloadEndsAtOnceAndKeepsTheEarlierText)
{
    connect();
    logger->setFaults({Fault{FaultKind::hangup, kDumpCode, kImageBytes / 2, 50}});
    const Timed dump = timed([&] { return QZ_TRK7700_DUMP_DB(kCom, (work / "Wayfolk.txt").c_str()); });
    EXPECT_EQ(dump.result, return_device_time_out);
    EXPECT_LT(dump.wallSeconds, 1.5);
    EXPECT_EQ(readFile(work / "Wayfolk.txt"), kEarlier);
    logger->clearFaults();
    expectDisconnectedAndReconnectable();
}

TEST_F(VanishedPortTest, WaitingForASilentLoggerDoesNotSpin)
{
    connect();
    logger->setFaults({Fault{FaultKind::silence, kDumpCode}});
    const Timed dump = timed([&] { return QZ_TRK7700_DUMP_DB(kCom, (work / "Wayfolk.txt").c_str()); });
    EXPECT_EQ(dump.result, return_device_time_out);
    // The first byte must come within the tick limit of 2: one to two seconds.
    EXPECT_GT(dump.wallSeconds, 0.9);
    EXPECT_LT(dump.wallSeconds, 3.0);
    EXPECT_LT(dump.cpuSeconds, 0.05 * dump.wallSeconds);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode) << "a silent logger is still connected";
}

TEST_F(VanishedPortTest, APauseInsideTheStreamIsWaitedOut)
{
    connect();
    const std::string clean = [&] {
        EXPECT_EQ(QZ_TRK7700_DUMP_DB(kCom, (work / "clean.txt").c_str()), return_dump_db_successful);
        return readFile(work / "clean.txt");
    }();
    // A radio link that stalls for five seconds in the middle of the log.
    logger->setFaults({Fault{FaultKind::stall, kDumpCode, kImageBytes / 2 + 3, 5000}});
    const Timed dump = timed([&] { return QZ_TRK7700_DUMP_DB(kCom, (work / "Wayfolk.txt").c_str()); });
    EXPECT_EQ(dump.result, return_dump_db_successful);
    EXPECT_GT(dump.wallSeconds, 4.9);
    EXPECT_LT(dump.cpuSeconds, 0.05 * dump.wallSeconds + 0.5) << "the pause itself costs nothing";
    EXPECT_TRUE(readFile(work / "Wayfolk.txt") == clean);
}

}  // namespace
