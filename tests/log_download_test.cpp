// Log download and erase against the simulated logger: the files each result
// leaves, the faults of the stream, the current directory after every return.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "log/log_image.h"
#include "log/log_operations.h"
#include "log/track_text.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <atomic>
#include <filesystem>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;

namespace {

constexpr int kDumpCode = 0x60;
constexpr int kEraseCode = 0x61;
constexpr int kMemorySizeCode = 0x63;

// A clock whose second changes at every look, so that a wait of limit L ends
// after exactly L + 1 empty polls; it counts the looks.
std::atomic<int> clockLooks{0};
int everLaterSecond() { return clockLooks++ % 60; }

void useCountingClock()
{
    clockLooks = 0;
    linkState().testHooks.secondsSource = everLaterSecond;
}

std::vector<uint8_t> frame(uint8_t code0, uint8_t code1) { return {code0, code1, 0, 0, 0, 0, 0}; }

// The track text that the steps after the download make of an image.
std::string trackOf(const std::vector<uint8_t> &image)
{
    TempDir offline;
    writeFile(offline / "DB.sr", std::string(image.begin(), image.end()));
    InDirectory in(offline.path());
    if (log::SortLogImage() != 1 || log::exportTrackTextTo("expected.txt") != 1) return "export failed";
    return readFile(offline / "expected.txt");
}

class LogDownloadTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        work = dir / "work";
        std::filesystem::create_directories(work);
    }

    void load(const sim::GeneratedLog &log)
    {
        logger->withState([&](sim::DeviceState &state) { state.logImage = log.image; });
    }

    // QZ_TRK7700_DUMP_DB into work/track.txt; checks that the current directory is as before.
    int32_t dump(const std::string &path)
    {
        const auto before = std::filesystem::current_path();
        const int32_t result = QZ_TRK7700_DUMP_DB(kCom, path.c_str());
        EXPECT_EQ(std::filesystem::current_path(), before) << "current directory after result " << result;
        return result;
    }
    int32_t dump() { return dump((work / "track.txt").string()); }

    std::filesystem::path work;
};

}  // namespace

TEST_F(LogDownloadTest, SuccessLeavesOnlyTheTrack)
{
    const auto log = sim::generateLog(sim::LogShape::wrapped, 21);
    load(log);
    connect();
    ASSERT_EQ(dump(), return_dump_db_successful);
    EXPECT_EQ(filesIn(work), std::vector<std::string>{"track.txt"});
    EXPECT_TRUE(readFile(work / "track.txt") == trackOf(log.image));
    EXPECT_EQ(commandsReceived(), std::vector<std::vector<uint8_t>>{frame(0x60, 0xB5)});
    EXPECT_TRUE(linkState().dumpMode.inDumpMode);

    // The folder is made when missing; a second readout replaces the file.
    const auto again = sim::generateLog(sim::LogShape::drive, 22);
    load(again);
    ASSERT_EQ(dump((work / "new" / "second.txt").string()), return_dump_db_successful);
    EXPECT_EQ(filesIn(work / "new"), std::vector<std::string>{"second.txt"});
    EXPECT_TRUE(readFile(work / "new" / "second.txt") == trackOf(again.image));
}

TEST_F(LogDownloadTest, PausesInTheStreamShiftNothing)
{
    // Pauses longer than a read time-out, at an even and at an odd byte.
    const auto log = sim::generateLog(sim::LogShape::marks, 8);
    load(log);
    connect();
    for (size_t at : {kImageBytes / 2, size_t{12345}}) {
        logger->setFaults({Fault{FaultKind::stall, kDumpCode, at, 350}});
        InDirectory in(work);
        ASSERT_EQ(log::downloadLogImage(), 1) << "pause at " << at;
        EXPECT_TRUE(readFile(work / "DB.sr") == std::string(log.image.begin(), log.image.end())) << "pause at " << at;
    }
    logger->setFaults({Fault{FaultKind::stall, kDumpCode, 777, 350}});
    ASSERT_EQ(dump(), return_dump_db_successful);
    EXPECT_TRUE(readFile(work / "track.txt") == trackOf(log.image));
}

struct BrokenStreamCase {
    const char *name;
    Fault fault;
    size_t rawBytes;  // what "DB.sr" holds afterwards; SIZE_MAX: at most half the image
    int clockLooks;   // looks at the clock during the whole call; 0: not checked
};

void PrintTo(const BrokenStreamCase &c, std::ostream *os) { *os << c.name; }

class BrokenStreamTest : public LogDownloadTest, public ::testing::WithParamInterface<BrokenStreamCase> {};

TEST_P(BrokenStreamTest, GivesTwelveAndKeepsWhatArrived)
{
    const auto log = sim::generateLog(sim::LogShape::full, 9);
    load(log);
    connect();
    logger->setFaults({GetParam().fault});
    useCountingClock();
    EXPECT_EQ(dump(), return_device_time_out);
    EXPECT_EQ(filesIn(work), std::vector<std::string>{"DB.sr"});
    const std::string raw = readFile(work / "DB.sr");
    if (GetParam().rawBytes == SIZE_MAX) {
        EXPECT_LE(raw.size(), kImageBytes / 2);
    } else {
        EXPECT_EQ(raw.size(), GetParam().rawBytes);
    }
    if (GetParam().fault.kind != FaultKind::strayBytes) {
        EXPECT_TRUE(raw == std::string(log.image.begin(), log.image.begin() + static_cast<long>(raw.size())))
            << "exactly the bytes received, nothing padded";
    }
    if (GetParam().clockLooks != 0) {
        EXPECT_EQ(clockLooks.load(), GetParam().clockLooks);
    }
    // A time-out does not leave dump mode; a port that hung up does.
    EXPECT_EQ(linkState().dumpMode.inDumpMode, GetParam().fault.kind != FaultKind::hangup);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenStreamTest,
    ::testing::Values(
        // Nothing at all: the stream gives up after the tick limit of 2, not after 104 minutes.
        BrokenStreamCase{"SilentDevice", Fault{FaultKind::silence, kDumpCode}, 0, 3},
        BrokenStreamCase{"StopsHalfway", Fault{FaultKind::shortReply, kDumpCode}, kImageBytes / 2, 0},
        BrokenStreamCase{"HangsUpHalfway", Fault{FaultKind::hangup, kDumpCode}, SIZE_MAX, 0},
        // The image is complete, the end marker does not follow it.
        BrokenStreamCase{"NoEndMarker", Fault{FaultKind::noEndMarker, kDumpCode}, kImageBytes, 0},
        BrokenStreamCase{"MarkerWithoutZero", Fault{FaultKind::noTerminatingZero, kDumpCode}, kImageBytes, 0},
        // Line noise: 15 stray bytes shift the rest of the image by one record
        // minus one byte; the image's own last bytes stand where the marker should.
        BrokenStreamCase{"StrayBytes", Fault{FaultKind::strayBytes, kDumpCode, 100000, 0, 15}, kImageBytes, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LogDownloadTest, NotInDumpModeGivesTwentySixAndTouchesNothing)
{
    EXPECT_EQ(dump(), return_not_dump_mode);
    EXPECT_TRUE(filesIn(work).empty());
    EXPECT_TRUE(logger->receivedBytes().empty());
}

TEST_F(LogDownloadTest, EmptyOrMissingPathGivesSix)
{
    connect();
    EXPECT_EQ(dump(""), return_can_not_create_db_file);
    const auto before = std::filesystem::current_path();
    EXPECT_EQ(QZ_TRK7700_DUMP_DB(kCom, nullptr), return_can_not_create_db_file);
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_TRUE(logger->receivedBytes().empty());
}

TEST_F(LogDownloadTest, RawFileThatCannotBeMadeGivesSixAndSendsNothing)
{
    std::filesystem::create_directory(work / "DB.sr");
    connect();
    EXPECT_EQ(dump(), return_can_not_create_db_file);
    EXPECT_TRUE(commandsReceived().empty());
}

TEST_F(LogDownloadTest, OrderingFailureGivesSevenAndKeepsTheRawFile)
{
    load(sim::generateLog(sim::LogShape::drive, 1));
    std::filesystem::create_directory(work / "SortDB.sr");
    connect();
    EXPECT_EQ(dump(), return_can_not_create_sort_db_file);
    EXPECT_EQ(filesIn(work), (std::vector<std::string>{"DB.sr", "SortDB.sr"}));
    EXPECT_EQ(readFile(work / "DB.sr").size(), kImageBytes);
}

TEST_F(LogDownloadTest, ExportFailureGivesEightAndKeepsTheIntermediateFiles)
{
    load(sim::generateLog(sim::LogShape::drive, 1));
    std::filesystem::create_directory(work / "track.txt");
    connect();
    EXPECT_EQ(dump(), return_can_not_create_output_file);
    EXPECT_EQ(filesIn(work), (std::vector<std::string>{"Output_tmp.dat", "SortDB.sr", "track.txt"}));
}

TEST_F(LogDownloadTest, EveryMissingFolderOfThePathIsMade)
{
    load(sim::generateLog(sim::LogShape::drive, 1));
    connect();
    InDirectory in(work);
    ASSERT_EQ(dump((dir / "missing" / "deeper" / "track.txt").string()), return_dump_db_successful);
    EXPECT_EQ(filesIn(dir / "missing" / "deeper"), std::vector<std::string>{"track.txt"});
    ASSERT_EQ(dump("relative/deeper/bare.txt"), return_dump_db_successful);
    EXPECT_EQ(filesIn(work / "relative" / "deeper"), std::vector<std::string>{"bare.txt"});
    ASSERT_EQ(dump("bare.txt"), return_dump_db_successful);
    EXPECT_EQ(filesIn(work), (std::vector<std::string>{"bare.txt", "relative"}));
}

TEST_F(LogDownloadTest, EraseEmptiesTheLog)
{
    load(sim::generateLog(sim::LogShape::drive, 1));
    connect();
    EXPECT_EQ(QZ_TRK7700_ERASE_All_DB(kCom), return_erase_db_successful);
    EXPECT_EQ(commandsReceived(), (std::vector<std::vector<uint8_t>>{frame(0x63, 0xB7), frame(0x61, 0xB6)}));
    EXPECT_EQ(logger->snapshot().erases, 1);
    ASSERT_EQ(dump(), return_dump_db_successful);
    EXPECT_EQ(readFile(work / "track.txt"), std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine);
}

TEST_F(LogDownloadTest, EraseNotInDumpModeGivesTwentySix)
{
    EXPECT_EQ(QZ_TRK7700_ERASE_All_DB(kCom), return_not_dump_mode);
    EXPECT_TRUE(logger->receivedBytes().empty());
}

struct EraseLimitCase {
    uint32_t memorySizeReply;
    bool memorySizeAnswered;
    int tickLimit;
};

class EraseLimitTest : public LogDownloadTest, public ::testing::WithParamInterface<EraseLimitCase> {};

TEST_P(EraseLimitTest, UnconfirmedEraseWaitsTheLimitOfItsMemorySize)
{
    const auto &c = GetParam();
    logger->withState([&](sim::DeviceState &state) { state.memorySizeReply = c.memorySizeReply; });
    std::vector<Fault> faults{Fault{FaultKind::silence, kEraseCode}};
    if (!c.memorySizeAnswered) faults.push_back(Fault{FaultKind::silence, kMemorySizeCode});
    logger->setFaults(faults);
    connect();
    linkState().testHooks.readTimeoutMs = 2;
    useCountingClock();
    EXPECT_EQ(QZ_TRK7700_ERASE_All_DB(kCom), return_device_time_out);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode);
    // The erase wait looks L + 1 times; an unanswered size query 3 times before it.
    // An answered query may need a look or two when its reply is slow.
    const int expected = c.tickLimit + 1 + (c.memorySizeAnswered ? 0 : 3);
    EXPECT_GE(clockLooks.load(), expected);
    EXPECT_LE(clockLooks.load(), expected + (c.memorySizeAnswered ? 5 : 0));
}

INSTANTIATE_TEST_SUITE_P(MemorySizes, EraseLimitTest,
                         ::testing::Values(EraseLimitCase{0x400000, true, 80}, EraseLimitCase{0x800000, true, 160},
                                           EraseLimitCase{0x1000000, true, 320}, EraseLimitCase{0x2000000, true, 640},
                                           EraseLimitCase{0x800000, false, 80}),
                         [](const auto &info) {
                             if (!info.param.memorySizeAnswered) return std::string("SizeNotAnswered");
                             return "Size" + std::to_string(info.param.memorySizeReply >> 20) + "MiB";
                         });
