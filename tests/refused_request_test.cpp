// A request that the port does not take gets no successful answer: the
// operation ends at once with its failure result, without reading, even when
// bytes that look like the right reply are waiting. (Found by the fuzz target
// logger_replies: an erase whose command never went out reported success on
// an end marker that came anyway.)
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "log/log_image.h"
#include "serial/serial_link.h"
#include "support/device_fixture.h"
#include "support/firmware_file_builder.h"

#include <cstring>
#include <functional>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

std::string withNul(const char *text) { return std::string(text, std::char_traits<char>::length(text) + 1); }

const std::string kMarker = withNul("QZ Update Over");
const std::string kMemorySize("\x00\x00\x40\x00", 4);

// Refuses the one write that begins with a given byte and has a given length;
// answers every read from a prepared reply.
class RefusingPort : public serial::PortStandIn {
public:
    RefusingPort(uint8_t refusedFirstByte, int refusedLength, std::string reply)
        : refusedFirstByte_(refusedFirstByte), refusedLength_(refusedLength), reply_(std::move(reply))
    {
    }
    bool accepts(int) override { return true; }
    int read(uint8_t *destination, int count) override
    {
        if (refused) ++readsAfterRefusal;
        const size_t take = std::min(static_cast<size_t>(count), reply_.size() - at_);
        std::memcpy(destination, reply_.data() + at_, take);
        at_ += take;
        return static_cast<int>(take);
    }
    bool write(const uint8_t *source, int count) override
    {
        if (source[0] != refusedFirstByte_ || count != refusedLength_) return true;
        refused = true;
        return false;
    }

    bool refused = false;
    int readsAfterRefusal = 0;

private:
    uint8_t refusedFirstByte_;
    int refusedLength_;
    std::string reply_;
    size_t at_ = 0;
};

struct RefusalCase {
    const char *name;
    uint8_t refusedFirstByte;
    int refusedLength;
    std::string reply;  // what the port would deliver all the same
    std::function<int32_t(const std::filesystem::path &work)> call;
    int32_t expected;
};

void PrintTo(const RefusalCase &c, std::ostream *os) { *os << c.name; }

class RefusedRequestTest : public DeviceTest, public ::testing::WithParamInterface<RefusalCase> {
protected:
    void TearDown() override
    {
        // The stand-in of the test is gone: no exit request may reach it.
        resetLinkState();
        DeviceTest::TearDown();
    }
};

}  // namespace

TEST_P(RefusedRequestTest, EndsAtOnceWithoutSuccess)
{
    const auto &c = GetParam();
    const auto work = dir / "work";
    std::filesystem::create_directories(work / "wav");
    for (const char *name : {"battery_low.wav", "BT_close.wav", "BT_open.wav", "Error_Beep.wav", "GPS_search.wav",
                             "GPS_search_finished.wav", "OK_Beep.wav", "OK1_Beep.wav"})
        writeFile(work / "wav" / name, "wave");
    writeFirmwareFile(work / "bin", buildFirmwareFile(0x0B));

    RefusingPort port(c.refusedFirstByte, c.refusedLength, c.reply);
    linkState().testHooks.portStandIn = &port;
    ASSERT_EQ(serial::openPort(kCom, dumpmode::kBaudRate), serial::OpenOutcome::opened);
    linkState().dumpMode.inDumpMode = true;

    EXPECT_EQ(c.call(work), c.expected);
    EXPECT_TRUE(port.refused) << "the request was made";
    if (c.expected != return_erase_db_successful) {
        EXPECT_EQ(port.readsAfterRefusal, 0) << "nothing is read after it";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RefusedRequestTest,
    ::testing::Values(
        RefusalCase{"Download", 0x60, 7, std::string(log::kLogImageSize, '\xFF') + kMarker,
                    [](const auto &work) { return QZ_TRK7700_DUMP_DB(3, (work / "Wayfolk.txt").c_str()); },
                    return_device_time_out},
        RefusalCase{"Erase", 0x61, 7, kMemorySize + kMarker, [](const auto &) { return QZ_TRK7700_ERASE_All_DB(3); },
                    return_device_time_out},
        // Only the refused exchange is lost: without a size the erase assumes 4 MiB and goes on.
        RefusalCase{"MemorySizeOfAnErase", 0x63, 7, kMarker, [](const auto &) { return QZ_TRK7700_ERASE_All_DB(3); },
                    return_erase_db_successful},
        RefusalCase{"SettingsRead", 0x62, 7, std::string(256, '\x05') + kMarker,
                    [](const auto &) {
                        int32_t time = 0, distance = 0;
                        uint8_t vibration = 0, tag = 0, speed = 0;
                        return QZ_TRK7700_READ_SETTING_VALUE(3, &time, &distance, &vibration, &tag, &speed);
                    },
                    return_device_time_out},
        RefusalCase{
            "SettingsUpload", 0x55, 7, kMemorySize + withNul("Checksum    OK") + kMarker,
            [](const auto &work) { return QZ_TRK7700_SETTING_DEVICE(3, 5, 0, 2, 1, (work / "wav").c_str(), 0); },
            return_device_time_out},
        RefusalCase{"Information", 0x5B, 7, std::string(72, '\x0A') + std::string(16, '\0') + kMarker,
                    [](const auto &) {
                        int32_t serialNumber = 0;
                        char version[5] = {};
                        return QZ_TRK7700_READ_DEVICE_INFORMATION(3, &serialNumber, version);
                    },
                    return_device_information_no_answer},
        RefusalCase{"GpsTime", 0x64, 7, std::string(16, '\x0C'),
                    [](const auto &) {
                        uint8_t v[6] = {};
                        return QZ_TRK7700_READ_GPS_UTC_TIME_DATE(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
                    },
                    return_read_gps_utc_time_invalid},
        RefusalCase{"FirmwareUpload", 0x5D, 7, withNul("Checksum    OK") + kMarker,
                    [](const auto &work) { return QZ_TRK7700_FW_UPGRADE(3, (work / "bin").c_str()); },
                    return_device_time_out}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DeviceTest, RefusedGreetingFailsTheHandshake)
{
    // The banner read takes 32 bytes; the ready reply waits behind them.
    RefusingPort port('Q', 18, std::string(32, 'B') + withNul("QZ GPS+BT"));
    linkState().testHooks.portStandIn = &port;
    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(kCom), return_into_dump_mode_fail);
    EXPECT_FALSE(linkState().dumpMode.inDumpMode);
    EXPECT_FALSE(serial::portIsOpen());
    EXPECT_EQ(port.readsAfterRefusal, 0);
    resetLinkState();  // before the stand-in goes out of scope
}
