// Reading the settings back: the decoding of the record, and a read-back that
// fails leaves the caller's variables as they were.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/tick_count.h"
#include "support/device_fixture.h"
#include "support/test_clocks.h"

#include <string>
#include <vector>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;

namespace {

constexpr int kReadSettingsCode = 0x62;

struct Values {
    int32_t time;
    int32_t distance;
    uint8_t vibration;
    uint8_t tag;
    uint8_t minSpeed;
    bool operator==(const Values &) const = default;
};

void PrintTo(const Values &v, std::ostream *os)
{
    *os << "{time " << v.time << ", distance " << v.distance << ", vibration " << int(v.vibration) << ", tag "
        << int(v.tag) << ", speed " << int(v.minSpeed) << "}";
}

const Values kUntouched{-7, -7, 77, 77, 77};

class SettingsReadTest : public DeviceTest {
protected:
    int32_t read(Values &v)
    {
        return QZ_TRK7700_READ_SETTING_VALUE(kCom, &v.time, &v.distance, &v.vibration, &v.tag, &v.minSpeed);
    }
};

struct DecodeCase {
    const char *name;
    std::vector<std::pair<int, uint8_t>> bytes;  // offset, value over an all-0xFF record
    Values expected;
};

}  // namespace

TEST_F(SettingsReadTest, DecodesTheRecord)
{
    const DecodeCase cases[] = {
        {"both intervals off", {}, {-1, 50, 2, 1, 0}},
        {"distance 100", {{4, 100}, {5, 0}, {6, 0}, {7, 0}}, {-1, 100, 2, 1, 0}},
        {"time 30 wins over distance 100",
         {{0, 30}, {1, 0}, {2, 0}, {3, 0}, {4, 100}, {5, 0}, {6, 0}, {7, 0}},
         {30, -1, 2, 1, 0}},
        {"time 3600", {{0, 0x10}, {1, 0x0E}, {2, 0}, {3, 0}}, {3600, -1, 2, 1, 0}},
        {"vibration 1 reads 2", {{8, 1}}, {-1, 50, 2, 1, 0}},
        {"vibration 0", {{8, 0}}, {-1, 50, 0, 1, 0}},
        {"tag 0", {{24, 0}}, {-1, 50, 2, 0, 0}},
        {"tag 1", {{24, 1}}, {-1, 50, 2, 1, 0}},
        {"speed 20", {{25, 20}}, {-1, 50, 2, 1, 20}},
        {"speed 0", {{25, 0}}, {-1, 50, 2, 1, 0}},
        {"all zero", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {8, 0}, {24, 0}, {25, 0}}, {0, -1, 0, 0, 0}},
    };
    connect();
    for (const auto &c : cases) {
        logger->withState([&](sim::DeviceState &s) {
            s.settingsRecord.fill(0xFF);
            for (const auto &[offset, value] : c.bytes) s.settingsRecord[static_cast<size_t>(offset)] = value;
        });
        Values got = kUntouched;
        EXPECT_EQ(read(got), return_read_setting_value_successful) << c.name;
        EXPECT_EQ(got, c.expected) << c.name;
    }
    for (const auto &frame : commandsReceived()) EXPECT_EQ(frame, (std::vector<uint8_t>{0x62, 0xB6, 0, 0, 0, 0, 0}));
    EXPECT_EQ(commandsReceived().size(), std::size(cases));
}

struct FailureCase {
    const char *name;
    std::vector<Fault> faults;
};

void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

class SettingsReadFailureTest : public SettingsReadTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SettingsReadFailureTest, TimesOutAndLeavesTheVariablesAlone)
{
    connect();
    linkState().testHooks.secondsSource = fastSeconds;
    logger->setFaults(GetParam().faults);
    Values got = kUntouched;
    EXPECT_EQ(read(got), return_device_time_out);
    EXPECT_EQ(got, kUntouched);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode) << "a time-out does not leave dump mode";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SettingsReadFailureTest,
    ::testing::Values(FailureCase{"NoReply", {Fault{FaultKind::silence, kReadSettingsCode}}},
                      FailureCase{"NoEndMarker", {Fault{FaultKind::noEndMarker, kReadSettingsCode}}},
                      FailureCase{"ShortRecord", {Fault{FaultKind::shortReply, kReadSettingsCode, 20}}},
                      // Stray bytes shift every field: inside the record, before the
                      // marker, or together with a marker that comes late.
                      FailureCase{"StrayBytesInTheRecord", {Fault{FaultKind::strayBytes, kReadSettingsCode, 5, 0, 3}}},
                      FailureCase{"StrayBytesBeforeTheMarker",
                                  {Fault{FaultKind::strayBytes, kReadSettingsCode, 256, 0, 20}}},
                      FailureCase{"StrayBytesAndALateMarker",
                                  {Fault{FaultKind::strayBytes, kReadSettingsCode, 100, 0, 15},
                                   Fault{FaultKind::lateEndMarker, kReadSettingsCode, 0, 150}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SettingsReadTest, OutsideDumpModeNothingIsSentOrWritten)
{
    Values got = kUntouched;
    EXPECT_EQ(read(got), return_not_dump_mode);
    EXPECT_EQ(got, kUntouched);
    EXPECT_EQ(logger->openCount(), 0);
}
