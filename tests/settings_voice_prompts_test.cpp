// The voice prompt files that ship with the tool: the library accepts them and
// the logger receives them unchanged, in their fixed order.
#include "support/device_fixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

const char *const kPromptNames[] = {"battery_low.wav", "BT_close.wav",   "BT_open.wav",
                                    "Error_Beep.wav",  "GPS_search.wav", "GPS_search_finished.wav",
                                    "OK_Beep.wav",     "OK1_Beep.wav"};

fs::path shippedPromptFolder() { return fs::path(TRK_SOURCE_DIR) / "Wayfolk-Tool" / "wav"; }

uint32_t littleEndian(const std::string &bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

}  // namespace

using VoicePromptTest = DeviceTest;

TEST_F(VoicePromptTest, ShippedFilesAreSmallPlainWaveFiles)
{
    size_t total = 0;
    for (const char *name : kPromptNames) {
        const std::string bytes = readFile(shippedPromptFolder() / name);
        ASSERT_GT(bytes.size(), 44u) << name;
        EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0) << name;
        EXPECT_EQ(bytes.compare(8, 8, "WAVEfmt "), 0) << name;
        EXPECT_EQ(littleEndian(bytes, 22, 2), 1u) << name << ": mono";
        EXPECT_EQ(littleEndian(bytes, 24, 4), 8000u) << name << ": 8 kHz";
        total += bytes.size();
    }
    EXPECT_LT(total, 131328u) << "the logger takes at most 131,327 bytes";
}

TEST_F(VoicePromptTest, ShippedFilesReachTheLoggerUnchanged)
{
    std::string expected;
    for (const char *name : kPromptNames) expected += readFile(shippedPromptFolder() / name);
    connect();
    EXPECT_EQ(QZ_TRK7700_SETTING_DEVICE(kCom, 5, 0, 2, 1, shippedPromptFolder().c_str(), 0),
              return_setting_device_successful);
    const auto voiceData = logger->snapshot().voiceData;
    EXPECT_EQ(std::string(voiceData.begin(), voiceData.end()), expected);
}
