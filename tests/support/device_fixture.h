#pragma once
// A simulated logger on COM3 of a temporary port directory, with the library
// (linked in statically) pointed at it. Every device test starts out of dump
// mode and leaves it again; the library's state and its test seams
// (LinkState) are reset after each test.
#include "TRK7700_DLL.h"
#include "sim/simulated_logger.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <memory>

namespace trk7700::testing {

class DeviceTest : public ::testing::Test {
protected:
    static constexpr int kCom = 3;

    void SetUp() override;
    void TearDown() override;

    // Enters dump mode on COM3 and forgets the bytes of the handshake.
    void connect();
    // Starts a further simulated logger on another COM number of the same directory.
    std::unique_ptr<sim::SimulatedLogger> addLogger(int comNumber, bool sendBanner = true);
    // The command frames the simulator received, in order.
    std::vector<std::vector<uint8_t>> commandsReceived() const;
    // Waits (up to a second) until the simulator has seen the port closed.
    bool waitForPortClosed() const;

    TempDir dir;
    std::string portDir;
    std::unique_ptr<sim::SimulatedLogger> logger;
};

}  // namespace trk7700::testing
