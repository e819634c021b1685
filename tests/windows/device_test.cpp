// TRK7700_DLL.dll under Windows (Wine), bound by name as a Windows caller binds
// it, against the simulated logger on COM<n>: the Linux simulator reached
// through the Wine prefix's COM link (scripts/test-windows.sh sets it all up).
//
// The tests share the one simulated logger and run in the order written: the
// log is read before it is erased, and the firmware upgrade, which ends dump
// mode, comes last.
#include "TRK7700_DLL.h"
#include "support/firmware_file_builder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

HMODULE libraryModule()
{
    static const HMODULE module = LoadLibraryA("TRK7700_DLL.dll");
    return module;
}

// The entry point with the header's own type (stdcall on 32-bit Windows),
// looked up by its plain name.
template <typename Function>
Function *entryPoint(const char *name)
{
    return reinterpret_cast<Function *>(reinterpret_cast<void *>(GetProcAddress(libraryModule(), name)));
}

#define TRK_ENTRY(function) entryPoint<decltype(function)>(#function)

struct Library {
    decltype(&QZ_TRK7700_INTO_DUMP_MODE) intoDumpMode = TRK_ENTRY(QZ_TRK7700_INTO_DUMP_MODE);
    decltype(&QZ_TRK7700_AUTO_INTO_DUMP_MODE) autoIntoDumpMode = TRK_ENTRY(QZ_TRK7700_AUTO_INTO_DUMP_MODE);
    decltype(&QZ_TRK7700_EXIT_DUMP_MODE) exitDumpMode = TRK_ENTRY(QZ_TRK7700_EXIT_DUMP_MODE);
    decltype(&QZ_TRK7700_DUMP_DB) dumpDb = TRK_ENTRY(QZ_TRK7700_DUMP_DB);
    decltype(&QZ_TRK7700_ERASE_All_DB) eraseAllDb = TRK_ENTRY(QZ_TRK7700_ERASE_All_DB);
    decltype(&QZ_TRK7700_SETTING_DEVICE) settingDevice = TRK_ENTRY(QZ_TRK7700_SETTING_DEVICE);
    decltype(&QZ_TRK7700_READ_SETTING_VALUE) readSettingValue = TRK_ENTRY(QZ_TRK7700_READ_SETTING_VALUE);
    decltype(&QZ_TRK7700_READ_DLL_VERSION) readDllVersion = TRK_ENTRY(QZ_TRK7700_READ_DLL_VERSION);
    decltype(&QZ_TRK7700_READ_DEVICE_INFORMATION) readDeviceInformation = TRK_ENTRY(QZ_TRK7700_READ_DEVICE_INFORMATION);
    decltype(&QZ_TRK7700_READ_GPS_UTC_TIME_DATE) readGpsUtcTimeDate = TRK_ENTRY(QZ_TRK7700_READ_GPS_UTC_TIME_DATE);
    decltype(&QZ_TRK7700_FW_UPGRADE) fwUpgrade = TRK_ENTRY(QZ_TRK7700_FW_UPGRADE);
    decltype(&QZ_TRK7700_Read_BinFile_FW_Version) readBinFileFwVersion = TRK_ENTRY(QZ_TRK7700_Read_BinFile_FW_Version);
    decltype(&fnTRK7700_DLL) fn = TRK_ENTRY(fnTRK7700_DLL);
    int *n = reinterpret_cast<int *>(reinterpret_cast<void *>(GetProcAddress(libraryModule(), "nTRK7700_DLL")));
};

const Library &dll()
{
    static const Library library;
    return library;
}

int32_t comNumber()
{
    const char *text = std::getenv("TRK7700_TEST_COM");
    return text != nullptr ? std::atoi(text) : 3;
}

std::string executableFolder()
{
    char path[MAX_PATH]{};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(std::string(path, length)).parent_path().string();
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder in the Windows temporary folder, removed afterwards; the
// tests work in it as their current directory.
class WindowsDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(libraryModule(), nullptr) << "TRK7700_DLL.dll cannot be loaded: error " << GetLastError();
        root = fs::temp_directory_path() / ("trk7700-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        startFolder = fs::current_path();
        fs::current_path(root);
    }
    void TearDown() override
    {
        dll().exitDumpMode();
        fs::current_path(startFolder);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    void enter() { ASSERT_EQ(dll().intoDumpMode(comNumber()), return_into_dump_mode_successful); }

    fs::path root;
    fs::path startFolder;
};

TEST_F(WindowsDeviceTest, EveryEntryPointIsFoundByItsPlainName)
{
    const Library &l = dll();
    const void *entries[] = {reinterpret_cast<void *>(l.intoDumpMode),
                             reinterpret_cast<void *>(l.autoIntoDumpMode),
                             reinterpret_cast<void *>(l.exitDumpMode),
                             reinterpret_cast<void *>(l.dumpDb),
                             reinterpret_cast<void *>(l.eraseAllDb),
                             reinterpret_cast<void *>(l.settingDevice),
                             reinterpret_cast<void *>(l.readSettingValue),
                             reinterpret_cast<void *>(l.readDllVersion),
                             reinterpret_cast<void *>(l.readDeviceInformation),
                             reinterpret_cast<void *>(l.readGpsUtcTimeDate),
                             reinterpret_cast<void *>(l.fwUpgrade),
                             reinterpret_cast<void *>(l.readBinFileFwVersion),
                             reinterpret_cast<void *>(l.fn),
                             l.n};
    for (size_t i = 0; i < std::size(entries); ++i) EXPECT_NE(entries[i], nullptr) << "entry " << i;
    ASSERT_NE(l.fn, nullptr);
    EXPECT_EQ(l.fn(), 42);
    ASSERT_NE(l.n, nullptr);
    EXPECT_EQ(*l.n, 0);
    char version[6] = "     ";  // the tool passes five blanks
    EXPECT_EQ(l.readDllVersion(version), return_read_dll_version_successful);
    EXPECT_STREQ(version, "1.5");
}

TEST_F(WindowsDeviceTest, WithoutDumpModeNothingReachesThePort)
{
    const Library &l = dll();
    EXPECT_EQ(l.exitDumpMode(), return_exit_dump_mode);
    EXPECT_EQ(l.dumpDb(comNumber(), "Wayfolk.txt"), return_not_dump_mode);
    EXPECT_EQ(l.eraseAllDb(comNumber()), return_not_dump_mode);
    int32_t time = 7, distance = 7;
    uint8_t vibration = 7, tag = 7, speed = 7;
    EXPECT_EQ(l.readSettingValue(comNumber(), &time, &distance, &vibration, &tag, &speed), return_not_dump_mode);
    int32_t serial = -7;
    char firmware[6] = "xxxxx";
    EXPECT_EQ(l.readDeviceInformation(comNumber(), &serial, firmware), return_not_dump_mode);
    EXPECT_EQ(serial, -7);
    uint8_t hour = 1, minute = 2, second = 3, year = 4, month = 5, day = 6;
    EXPECT_EQ(l.readGpsUtcTimeDate(&hour, &minute, &second, &year, &month, &day), return_not_dump_mode);
    EXPECT_EQ((std::vector<int>{hour, minute, second, year, month, day}), (std::vector<int>{255, 255, 255, 4, 5, 6}));
    EXPECT_EQ(l.fwUpgrade(comNumber(), ""), return_not_dump_mode);
    EXPECT_FALSE(fs::exists(root / "Wayfolk.txt"));
    // COM0 never opens; a COM number with nothing behind it cannot be opened.
    EXPECT_EQ(l.intoDumpMode(0), return_can_not_open_com_port);
    EXPECT_EQ(l.intoDumpMode(comNumber() + 1), return_can_not_open_com_port);
}

TEST_F(WindowsDeviceTest, EnterTwiceThenLeave)
{
    enter();
    EXPECT_EQ(dll().intoDumpMode(comNumber()), return_can_not_open_com_port) << "dump mode is already open";
    EXPECT_EQ(dll().exitDumpMode(), return_exit_dump_mode);
    // The port was given back: it opens again.
    enter();
    EXPECT_EQ(dll().exitDumpMode(), return_exit_dump_mode);
    EXPECT_EQ(dll().eraseAllDb(comNumber()), return_not_dump_mode);
}

TEST_F(WindowsDeviceTest, ScanFindsTheLogger)
{
    int32_t found = -1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dll().autoIntoDumpMode(&found), return_into_dump_mode_successful);
    EXPECT_EQ(found, comNumber());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    int32_t again = -1;
    EXPECT_EQ(dll().autoIntoDumpMode(&again), return_can_not_open_com_port);
    EXPECT_EQ(again, -1) << "written only on success";
}

// The same simulated log read through the Linux library gave the reference
// text: Windows must write the very same bytes.
TEST_F(WindowsDeviceTest, DownloadGivesTheSameTextAsOnLinux)
{
    const char *reference = std::getenv("TRK7700_REFERENCE_TEXT");
    ASSERT_NE(reference, nullptr) << "TRK7700_REFERENCE_TEXT names the text the Linux library made";
    const std::string expected = readFile(reference);
    ASSERT_GT(expected.size(), 1000u);
    enter();

    struct Case {
        std::string path;   // as passed to the library
        fs::path produced;  // where the text must be
    };
    const Case cases[] = {
        // absolute with a drive: the missing folders are made
        {(root / "absolute" / "two levels" / "Wayfolk.txt").string(), root / "absolute" / "two levels" / "Wayfolk.txt"},
        // relative with backslashes: under the current directory
        {"relative\\sub\\Wayfolk.txt", root / "relative" / "sub" / "Wayfolk.txt"},
        // a bare name: the current directory itself
        {"Wayfolk.txt", root / "Wayfolk.txt"},
        // the same name again: a second readout replaces the first
        {"Wayfolk.txt", root / "Wayfolk.txt"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(dll().dumpDb(comNumber(), c.path.c_str()), return_dump_db_successful) << c.path;
        EXPECT_EQ(fs::current_path(), root) << "the current directory is given back";
        const std::string text = readFile(c.produced);
        EXPECT_EQ(text.size(), expected.size()) << c.path;
        EXPECT_TRUE(text == expected) << c.path << ": the text differs from the Linux library's";
        const fs::path folder = c.produced.parent_path();
        for (const char *work : {"DB.sr", "SortDB.sr", "Output_tmp.dat"})
            EXPECT_FALSE(fs::exists(folder / work)) << work << " left in " << folder;
    }
}

// "NUL" names a device in every folder: the text must not vanish into it
// while the call reports success.
TEST_F(WindowsDeviceTest, ADeviceNameIsNeverTakenForTheTextFile)
{
    enter();
    EXPECT_EQ(dll().dumpDb(comNumber(), "NUL"), return_can_not_create_output_file);
    EXPECT_EQ(fs::current_path(), root);
}

TEST_F(WindowsDeviceTest, InformationAndGpsTime)
{
    enter();
    int32_t serial = -7;
    char firmware[6] = "     ";
    EXPECT_EQ(dll().readDeviceInformation(comNumber(), &serial, firmware), return_read_device_information_successful);
    EXPECT_EQ(serial, 12345);
    EXPECT_STREQ(firmware, "1.2");
    uint8_t hour = 0, minute = 0, second = 0, year = 0, month = 0, day = 0;
    EXPECT_EQ(dll().readGpsUtcTimeDate(&hour, &minute, &second, &year, &month, &day),
              return_read_gps_utc_time_successful);
    EXPECT_EQ((std::vector<int>{hour, minute, second, year, month, day}), (std::vector<int>{12, 34, 56, 26, 12, 9}));
}

TEST_F(WindowsDeviceTest, SettingsAreWrittenAndReadBack)
{
    const std::string wav = executableFolder() + "\\wav\\";
    ASSERT_TRUE(fs::exists(wav + "OK_Beep.wav")) << wav;
    enter();
    struct Case {
        uint32_t time, distance;
        uint8_t vibration, tag, minSpeed;
        int32_t timeRead, distanceRead;
    };
    const Case cases[] = {
        {60, 0, 2, 1, 5, 60, -1},
        {0, 250, 0, 0, 20, -1, 250},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(dll().settingDevice(comNumber(), c.time, c.distance, c.vibration, c.tag, wav.c_str(), c.minSpeed),
                  return_setting_device_successful);
        EXPECT_EQ(fs::current_path(), root);
        int32_t time = 7, distance = 7;
        uint8_t vibration = 7, tag = 7, speed = 7;
        EXPECT_EQ(dll().readSettingValue(comNumber(), &time, &distance, &vibration, &tag, &speed),
                  return_read_setting_value_successful);
        EXPECT_EQ((std::vector<int>{time, distance, vibration, tag, speed}),
                  (std::vector<int>{c.timeRead, c.distanceRead, c.vibration, c.tag, c.minSpeed}));
    }
    // A folder that is not there is refused before the device is asked.
    EXPECT_EQ(dll().settingDevice(comNumber(), 60, 0, 0, 1, "C:\\no\\such\\folder", 0), return_error_wave_file_path);
    EXPECT_EQ(fs::current_path(), root);
}

TEST_F(WindowsDeviceTest, EraseLeavesAnEmptyLog)
{
    enter();
    EXPECT_EQ(dll().eraseAllDb(comNumber()), return_erase_db_successful);
    EXPECT_EQ(dll().dumpDb(comNumber(), "erased\\Wayfolk.txt"), return_dump_db_successful);
    const std::string text = readFile(root / "erased" / "Wayfolk.txt");
    // The two header lines and no record.
    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, 2u) << text;
}

TEST_F(WindowsDeviceTest, FirmwareImageIsCheckedAndUpgraded)
{
    using trk7700::testing::buildFirmwareFile;
    using trk7700::testing::firmwareContent;
    using trk7700::testing::FirmwareFlaw;
    using trk7700::testing::writeFirmwareFile;
    struct Case {
        const char *folder;
        FirmwareFlaw flaw;
        int32_t expected;
    };
    const Case cases[] = {
        {"good", FirmwareFlaw::none, return_read_binfile_FW_version_successful},
        {"checksum", FirmwareFlaw::wrongChecksum, return_bin_file_checksum_error},
        {"identification", FirmwareFlaw::wrongIdentification, return_not_correct_bin_file},
        {"short", FirmwareFlaw::tooShort, return_bin_file_size_error},
    };
    // A folder under the image's name is no image.
    fs::create_directories(root / "images" / "folder" / "TRK7700_Encode.Bin");
    char untouched[12] = "untouched";
    EXPECT_EQ(dll().readBinFileFwVersion(untouched, "images\\folder"), return_can_not_open_bin_file);
    EXPECT_STREQ(untouched, "untouched");
    for (const auto &c : cases) {
        writeFirmwareFile(root / "images" / c.folder, buildFirmwareFile(firmwareContent(7), 0x0B, c.flaw));
        char version[12] = "           ";  // the tool passes eleven blanks
        const std::string folder = std::string("images\\") + c.folder;
        EXPECT_EQ(dll().readBinFileFwVersion(version, folder.c_str()), c.expected) << c.folder;
        if (c.expected == return_read_binfile_FW_version_successful) {
            EXPECT_STREQ(version, "1.3");
        }
        EXPECT_EQ(fs::current_path(), root);
    }
    char version[12] = "           ";
    EXPECT_EQ(dll().readBinFileFwVersion(version, "C:\\no\\such\\folder"), return_error_bin_file_path);

    enter();
    const std::string good = (root / "images" / "good").string();
    EXPECT_EQ(dll().fwUpgrade(comNumber(), good.c_str()), return_upgrade_firmware_successful);
    EXPECT_EQ(fs::current_path(), root);
    // The upgrade ended dump mode and gave the port back.
    EXPECT_EQ(dll().eraseAllDb(comNumber()), return_not_dump_mode);
    enter();
}

}  // namespace
