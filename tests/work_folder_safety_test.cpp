// The files of the library stay inside the folder the caller names: the whole
// path is made as mkdir -p does, a path that cannot hold a track text is
// refused before anything is sent, and no link or FIFO planted under a name
// the library uses redirects a write or blocks a call.
#include "settings/voice_prompts.h"
#include "sim/track_generator.h"
#include "support/device_fixture.h"
#include "support/firmware_file_builder.h"
#include "support/log_files.h"

#include <chrono>
#include <filesystem>
#include <sys/stat.h>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

class WorkFolderSafetyTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        work = dir / "work";
        outside = dir / "outside";
        fs::create_directories(work);
        fs::create_directories(outside);
        writeFile(outside / "precious.txt", kPrecious);
        logger->withState([&](sim::DeviceState &state) { state.logImage = log.image; });
    }

    int32_t dump(const std::string &path) { return QZ_TRK7700_DUMP_DB(kCom, path.c_str()); }

    bool isRegularFile(const fs::path &path) { return fs::is_regular_file(fs::symlink_status(path)); }

    const std::string kPrecious = "not the library's to touch";
    const sim::GeneratedLog log = sim::generateLog(sim::LogShape::drive, 51);
    fs::path work;
    fs::path outside;
};

TEST_F(WorkFolderSafetyTest, PathsThatCannotHoldTheTextAreRefusedBeforeAnythingIsSent)
{
    writeFile(work / "a-file", "in the way");
    struct Case {
        const char *name;
        std::string path;
    };
    const Case cases[] = {
        {"no file name", (work / "sub").string() + "/"},
        {"the raw log's name", (work / "DB.sr").string()},
        {"the ordered log's name", (work / "SortDB.sr").string()},
        {"the first pass's name", (work / "Output_tmp.dat").string()},
        {"the second pass's name", (work / "Output_new.tmp").string()},
        {"a file where a folder should be", (work / "a-file" / "track.txt").string()},
        {"a file deeper in the way", (work / "a-file" / "deeper" / "track.txt").string()},
    };
    connect();
    for (const Case &c : cases) {
        InDirectory in(outside);
        EXPECT_EQ(dump(c.path), return_can_not_create_db_file) << c.name;
        EXPECT_TRUE(commandsReceived().empty()) << c.name << ": nothing may be sent";
        EXPECT_EQ(filesIn(outside), std::vector<std::string>{"precious.txt"}) << c.name;
        EXPECT_EQ(fs::current_path(), outside) << c.name;
    }
    EXPECT_EQ(filesIn(work), std::vector<std::string>{"a-file"});
}

TEST_F(WorkFolderSafetyTest, AFolderWithoutPermissionIsRefused)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    fs::create_directories(work / "locked");
    fs::permissions(work / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    connect();
    EXPECT_EQ(dump((work / "locked" / "new" / "track.txt").string()), return_can_not_create_db_file);
    EXPECT_TRUE(commandsReceived().empty());
    fs::permissions(work / "locked", fs::perms::owner_all);
}

struct PlantedCase {
    const char *name;
    const char *entry;  // the name planted in the work folder
    bool fifo;          // a FIFO; else a link to a file outside the folder
};

void PrintTo(const PlantedCase &c, std::ostream *os) { *os << c.name; }

class PlantedEntries : public WorkFolderSafetyTest, public ::testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedEntries, NeitherRedirectNorBlockTheReadout)
{
    const PlantedCase &c = GetParam();
    const fs::path planted = work / c.entry;
    if (c.fifo)
        ASSERT_EQ(::mkfifo(planted.c_str(), 0600), 0);
    else
        fs::create_symlink(outside / "precious.txt", planted);
    connect();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(dump((work / "Wayfolk.txt").string()), return_dump_db_successful);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(readFile(outside / "precious.txt"), kPrecious);
    EXPECT_TRUE(isRegularFile(work / "Wayfolk.txt"));
    EXPECT_GT(fs::file_size(work / "Wayfolk.txt"), 1000u);
    // The planted entry is gone or replaced by a file of the library's own.
    EXPECT_TRUE(!fs::exists(fs::symlink_status(planted)) || isRegularFile(planted)) << c.entry;
}

INSTANTIATE_TEST_SUITE_P(Names, PlantedEntries,
                         ::testing::Values(PlantedCase{"RawLogLink", "DB.sr", false},
                                           PlantedCase{"RawLogFifo", "DB.sr", true},
                                           PlantedCase{"OrderedLogLink", "SortDB.sr", false},
                                           PlantedCase{"OrderedLogFifo", "SortDB.sr", true},
                                           PlantedCase{"FirstPassLink", "Output_tmp.dat", false},
                                           PlantedCase{"FirstPassFifo", "Output_tmp.dat", true},
                                           PlantedCase{"SecondPassLink", "Output_new.tmp", false},
                                           PlantedCase{"SecondPassFifo", "Output_new.tmp", true},
                                           PlantedCase{"TrackTextLink", "Wayfolk.txt", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(WorkFolderSafetyTest, InputsBehindLinksOrFifosAreRefusedAtOnce)
{
    const fs::path bin = work / "bin";
    const fs::path wav = work / "wav";
    fs::create_directories(bin);
    fs::create_directories(wav);
    writeFirmwareFile(outside, buildFirmwareFile(0x0B));
    for (const char *name : settings::kWaveFileNames) writeFile(wav / name, std::string(100, 'w'));

    struct Case {
        const char *name;
        fs::path planted;
        bool fifo;
        bool firmware;  // else the voice prompts
        int32_t expected;
    };
    const Case cases[] = {
        {"image FIFO", bin / "TRK7700_Encode.Bin", true, true, return_can_not_open_bin_file},
        {"image link", bin / "TRK7700_Encode.Bin", false, true, return_can_not_open_bin_file},
        {"prompt FIFO", wav / "OK_Beep.wav", true, false, return_uncompleted_wave_files},
        {"prompt link", wav / "BT_open.wav", false, false, return_uncompleted_wave_files},
    };
    connect();
    for (const Case &c : cases) {
        fs::remove(c.planted);
        if (c.fifo)
            ASSERT_EQ(::mkfifo(c.planted.c_str(), 0600), 0);
        else
            fs::create_symlink(outside / "TRK7700_Encode.Bin", c.planted);
        const auto started = std::chrono::steady_clock::now();
        char version[8] = "";
        const int32_t result = c.firmware ? QZ_TRK7700_Read_BinFile_FW_Version(version, bin.c_str())
                                          : QZ_TRK7700_SETTING_DEVICE(kCom, 5, 0, 2, 1, wav.c_str(), 0);
        EXPECT_EQ(result, c.expected) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.name;
        fs::remove(c.planted);
        if (!c.firmware) writeFile(c.planted, std::string(100, 'w'));
    }
    EXPECT_TRUE(commandsReceived().empty()) << "no settings were sent";
}

}  // namespace
