// The readout history keeps every complete track text, compressed, per
// logger; an entry gives back the text byte for byte.
#include "conversion/readout_history.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <zlib.h>

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

unsigned modeOf(const std::filesystem::path &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

TEST_F(ReadoutHistoryTest, ReadableByTheUserAloneWhateverTheUmask)
{
    // An earlier history folder that others could read is closed to them.
    std::filesystem::create_directories(dir / "data" / "trk7700" / "history");
    ::chmod((dir / "data" / "trk7700" / "history").c_str(), 0755);
    const mode_t previous = ::umask(0);
    writeFile(dir / "Wayfolk.txt", "where I have been\r\n");
    std::string error;
    const std::string name = client::keepInHistory((dir / "Wayfolk.txt").string(), 12345, 1765000000, error);
    ::umask(previous);
    ASSERT_FALSE(name.empty()) << error;
    for (const auto &folder : {dir / "data" / "trk7700", dir / "data" / "trk7700" / "history",
                               dir / "data" / "trk7700" / "history" / "12345"})
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    EXPECT_EQ(modeOf(client::historyEntryPath(name)), 0600u);
}

TEST_F(ReadoutHistoryTest, ReadoutsAtTheSameTimeNeverShareOrLoseAnEntry)
{
    // Two loggers of one serial number, or serial 0 after a failed information
    // read, kept in the same second by runs side by side.
    constexpr int kRuns = 8;
    std::vector<std::string> names(kRuns), errors(kRuns);
    for (int i = 0; i < kRuns; ++i) writeFile(dir / ("text" + std::to_string(i)), "readout " + std::to_string(i));
    std::vector<std::thread> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.emplace_back([&, i] {
            names[i] = client::keepInHistory((dir / ("text" + std::to_string(i))).string(), 0, 1765000000, errors[i]);
        });
    for (auto &r : runs) r.join();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), static_cast<size_t>(kRuns));
    for (int i = 0; i < kRuns; ++i) {
        ASSERT_FALSE(names[i].empty()) << errors[i];
        std::string error;
        const auto restored = dir / "restored.txt";
        ASSERT_TRUE(client::restoreFromHistory(names[i], restored.string(), error)) << error;
        EXPECT_EQ(readFile(restored), "readout " + std::to_string(i)) << names[i];
    }
    EXPECT_EQ(client::listHistory().size(), static_cast<size_t>(kRuns));
}

TEST_F(ReadoutHistoryTest, ACutOrOversizedEntryIsRefusedWhole)
{
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "--5,$GPGGA,120000.000,4807.0380,N,01131.0000,E,1,08,00.0,545,M,00.0,M,,*4F\r\n";
    writeFile(dir / "Wayfolk.txt", text);
    std::string error;
    const std::string name = client::keepInHistory((dir / "Wayfolk.txt").string(), 12345, 1765000000, error);
    ASSERT_FALSE(name.empty()) << error;
    const std::string entry = readFile(client::historyEntryPath(name));
    // A flood of zeros that a few kilobytes give.
    std::string zeros;
    {
        const std::string flood(client::kMaxTrackTextBytes + 1024, '\0');
        uLongf size = compressBound(static_cast<uLong>(flood.size()));
        zeros.resize(size);
        z_stream stream{};
        deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(flood.data()));
        stream.avail_in = static_cast<uInt>(flood.size());
        stream.next_out = reinterpret_cast<Bytef *>(zeros.data());
        stream.avail_out = static_cast<uInt>(zeros.size());
        deflate(&stream, Z_FINISH);
        zeros.resize(stream.total_out);
        deflateEnd(&stream);
    }
    struct Case {
        const char *name;
        std::string bytes;
        const char *says;
    } cases[] = {
        {"half of it", entry.substr(0, entry.size() / 2), "cut short or damaged"},
        {"all but its last byte", entry.substr(0, entry.size() - 1), "cut short or damaged"},
        {"damaged in the middle", entry.substr(0, entry.size() / 2) + "XXXX" + entry.substr(entry.size() / 2 + 4),
         "cut short or damaged"},
        {"a flood of zeros", zeros, "more than a full log's track text"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir / "entry.gz", c.bytes);
        const auto out = dir / "out.txt";
        EXPECT_FALSE(client::decompressTrackText((dir / "entry.gz").string(), out.string(), error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(out.string() + ".partial"));
    }
}

}  // namespace
