// The readout history keeps every complete track text, compressed, per
// logger; an entry gives back the text byte for byte.
#include "conversion/readout_history.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

class ReadoutHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }
    TempDir dir;
};

TEST_F(ReadoutHistoryTest, KeepsListsAndGivesBackEveryText)
{
    EXPECT_EQ(client::historyFolder(), (dir / "data" / "trk7700" / "history").string());
    EXPECT_TRUE(client::listHistory().empty());
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "--5,$GPGGA,120000.000,4807.0380,N,01131.0000,E,1,08,00.0,545,M,00.0,M,,*4F\r\n";
    const std::pair<uint32_t, std::string> readouts[] = {
        {12345, "first\r\n"}, {12345, big}, {3000000000u, "other logger\r\n"}};
    std::vector<std::string> names;
    std::time_t when = 1765000000;
    for (const auto &[serial, text] : readouts) {
        writeFile(dir / "Wayfolk.txt", text);
        std::string error;
        names.push_back(client::keepInHistory((dir / "Wayfolk.txt").string(), serial, when, error));
        ASSERT_FALSE(names.back().empty()) << error;
    }
    EXPECT_EQ(names[0], "12345/2025-12-06T05-46-40Z");
    EXPECT_EQ(names[1], "12345/2025-12-06T05-46-40Z-2") << "a second readout in the same second keeps the first";
    EXPECT_EQ(names[2], "3000000000/2025-12-06T05-46-40Z");

    const auto entries = client::listHistory();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_LT(entries[1].compressedBytes * 20, big.size()) << "kept compressed";
    for (size_t i = 0; i < names.size(); ++i) {
        std::string error;
        const auto restored = dir / ("restored" + std::to_string(i) + ".txt");
        ASSERT_TRUE(client::restoreFromHistory(names[i], restored.string(), error)) << error;
        EXPECT_TRUE(readFile(restored) == readouts[i].second) << names[i];
    }
}

TEST_F(ReadoutHistoryTest, UnknownOrEscapingNamesAreRefused)
{
    std::string error;
    for (const char *name : {"12345/never", "../../etc/passwd", ""}) {
        EXPECT_FALSE(client::restoreFromHistory(name, (dir / "out.txt").string(), error)) << name;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.txt")) << name;
    }
}

}  // namespace
