#include "support/device_fixture.h"

#include "frame/link_state.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace trk7700::testing {

void DeviceTest::SetUp()
{
    portDir = (dir / "ports").string();
    std::filesystem::create_directories(portDir);
    ::setenv("TRK7700_PORT_DIR", portDir.c_str(), 1);
    logger = addLogger(kCom);
}

void DeviceTest::TearDown()
{
    QZ_TRK7700_EXIT_DUMP_MODE();
    resetLinkState();
    logger.reset();
    ::unsetenv("TRK7700_PORT_DIR");
}

void DeviceTest::connect()
{
    ASSERT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), return_into_dump_mode_successful);
    logger->clearReceived();
}

std::unique_ptr<sim::SimulatedLogger> DeviceTest::addLogger(int comNumber, bool sendBanner)
{
    sim::SimulatedLogger::Options options;
    options.portDirectory = portDir;
    options.comNumber = comNumber;
    options.sendBanner = sendBanner;
    auto added = std::make_unique<sim::SimulatedLogger>(options);
    added->start();
    return added;
}

std::vector<std::vector<uint8_t>> DeviceTest::commandsReceived() const
{
    std::vector<std::vector<uint8_t>> frames;
    for (const auto &e : logger->events())
        if (e.kind == sim::WireEvent::Kind::command) frames.push_back(e.bytes);
    return frames;
}

bool DeviceTest::waitForPortClosed() const
{
    for (int i = 0; i < 200; ++i) {
        if (!logger->portOpenNow()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace trk7700::testing
