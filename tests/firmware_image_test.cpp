// The firmware image check: identification, unscrambling, checksum and version,
// as seen through QZ_TRK7700_Read_BinFile_FW_Version and the check itself.
#include "device/firmware_image.h"
#include "support/firmware_file_builder.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include "TRK7700_DLL.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <gtest/gtest.h>
#include <string>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

uint8_t xorOf(const std::vector<uint8_t> &bytes, size_t count)
{
    uint8_t x = 0;
    for (size_t i = 0; i < count; ++i) x ^= bytes[i];
    return x;
}

// Every test runs in a temporary current directory, and every call must leave
// the current directory as it found it.
class FirmwareImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        inTempDir.emplace(dir.path());
        start = fs::current_path();
    }
    void TearDown() override { inTempDir.reset(); }

    int32_t readVersion(char *version, const std::string &folder)
    {
        const int32_t result = QZ_TRK7700_Read_BinFile_FW_Version(version, folder.c_str());
        EXPECT_EQ(fs::current_path(), start) << "current directory after result " << result;
        return result;
    }

    TempDir dir;
    std::optional<ScopedCurrentDirectory> inTempDir;
    fs::path start;
};

}  // namespace

TEST(UnscrambleTest, TwoPassesFromTheStartValue)
{
    // K = 16 and the words 1 and 2: the first pass gives 17 and 3, the second 1 and 18.
    std::vector<uint8_t> bytes(device::kFirmwareImageSize, 0);
    bytes[0] = 1;
    bytes[2] = 2;
    bytes[65520] = 0xAB;  // the words from 65,520 on are not touched
    device::unscramble(bytes, 16);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 18);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[65520], 0xAB);
}

TEST(UnscrambleTest, BuiltFilesUnscrambleToTheirPlainImage)
{
    for (uint32_t seed : {1u, 2u, 77u}) {
        const FirmwareFile file = buildFirmwareFile(static_cast<uint8_t>(seed * 9), FirmwareFlaw::none, seed);
        ASSERT_EQ(file.stored.size(), 65536u);
        EXPECT_EQ(std::memcmp(file.stored.data() + 65480, "Gravel Ouzel Is Super Man ^-^", 30), 0);
        std::vector<uint8_t> bytes = file.stored;
        device::unscramble(bytes, file.checksum);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 65520, file.plain.begin())) << "seed " << seed;
        unsigned sum = 0;
        for (size_t i = 0; i < 65520; ++i) sum += file.plain[i];
        EXPECT_EQ(sum % 65536, file.checksum);
    }
}

TEST_F(FirmwareImageTest, CheckGivesThePlainImageAndUploadChecksum)
{
    const FirmwareFile file = buildFirmwareFile(0x0B);
    writeFirmwareFile(dir / "bin", file);
    device::FirmwareImage image;
    ASSERT_EQ(device::loadFirmwareImage("bin", image), 1);
    EXPECT_EQ(image.plain, file.plain) << "the last 16 bytes are sent as zeros";
    EXPECT_EQ(image.uploadChecksum, xorOf(file.plain, 65408));
    EXPECT_NE(xorOf(file.plain, 65536), xorOf(file.plain, 65408)) << "this image shows the coverage of X";
    EXPECT_EQ(image.version, "1.3");
}

struct VersionCase {
    uint8_t versionByte;
    const char *text;
};

TEST_F(FirmwareImageTest, VersionTextFromBitsFiveToZero)
{
    const VersionCase cases[] = {{0x0B, "1.3"}, {0xCB, "1.3"}, {0x00, "0.0"}, {0x3F, "7.7"}, {0x47, "0.7"}};
    for (const auto &c : cases) {
        writeFirmwareFile(dir / "bin", buildFirmwareFile(c.versionByte));
        char version[12] = "xxxxxxxxxxx";  // the tool passes eleven blanks
        EXPECT_EQ(readVersion(version, "bin"), return_read_binfile_FW_version_successful);
        EXPECT_STREQ(version, c.text) << "version byte " << int(c.versionByte);
        EXPECT_EQ(std::string(version + 4, 7), "xxxxxxx") << "only the first four bytes are written";
    }
}

struct CheckFailureCase {
    const char *name;
    int32_t expected;
    void (*prepare)(const fs::path &folder);
};

TEST_F(FirmwareImageTest, CheckFailuresInTheirOrder)
{
    const CheckFailureCase cases[] = {
        {"no folder", return_error_bin_file_path, [](const fs::path &) {}},
        {"no file", return_can_not_open_bin_file, [](const fs::path &f) { fs::create_directories(f); }},
        {"a folder of the file's name", return_can_not_open_bin_file,
         [](const fs::path &f) { fs::create_directories(f / "TRK7700_Encode.Bin"); }},
        {"empty file", return_bin_file_size_error,
         [](const fs::path &f) {
             fs::create_directories(f);
             writeFile(f / "TRK7700_Encode.Bin", "");
         }},
        {"65,535 bytes", return_bin_file_size_error,
         [](const fs::path &f) { writeFirmwareFile(f, buildFirmwareFile(0x0B, FirmwareFlaw::tooShort)); }},
        {"65,537 bytes", return_bin_file_size_error,
         [](const fs::path &f) { writeFirmwareFile(f, buildFirmwareFile(0x0B, FirmwareFlaw::tooLong)); }},
        {"wrong identification, checksum fine", return_not_correct_bin_file,
         [](const fs::path &f) { writeFirmwareFile(f, buildFirmwareFile(0x0B, FirmwareFlaw::wrongIdentification)); }},
        {"wrong checksum", return_bin_file_checksum_error,
         [](const fs::path &f) { writeFirmwareFile(f, buildFirmwareFile(0x0B, FirmwareFlaw::wrongChecksum)); }},
    };
    int n = 0;
    for (const auto &c : cases) {
        const fs::path folder = dir / ("case" + std::to_string(n++));
        c.prepare(folder);
        char version[12] = "untouched";
        EXPECT_EQ(readVersion(version, folder.string()), c.expected) << c.name;
        EXPECT_STREQ(version, "untouched") << c.name;
    }
}

TEST_F(FirmwareImageTest, FolderForms)
{
    writeFirmwareFile(dir / "rel" / "bin", buildFirmwareFile(0x0B));
    writeFirmwareFile(dir.path(), buildFirmwareFile(0x12));
    char version[12] = {};
    // Relative, twice in a row: the same folder both times.
    EXPECT_EQ(readVersion(version, "rel/bin/"), return_read_binfile_FW_version_successful);
    EXPECT_EQ(readVersion(version, "rel/bin/"), return_read_binfile_FW_version_successful);
    EXPECT_STREQ(version, "1.3");
    // Empty: the current directory.
    EXPECT_EQ(readVersion(version, ""), return_read_binfile_FW_version_successful);
    EXPECT_STREQ(version, "2.2");
    EXPECT_EQ(QZ_TRK7700_Read_BinFile_FW_Version(version, nullptr), return_read_binfile_FW_version_successful);
}

TEST_F(FirmwareImageTest, LongFolderPathsWorkOrFailCleanly)
{
    // Deeper than any 256-byte buffer, but a valid path: works.
    fs::path deep = dir.path();
    for (int i = 0; i < 12; ++i) deep /= std::string(40, static_cast<char>('a' + i));
    writeFirmwareFile(deep, buildFirmwareFile(0x0B));
    ASSERT_GT(deep.string().size(), 500u);
    char version[12] = {};
    EXPECT_EQ(readVersion(version, deep.string()), return_read_binfile_FW_version_successful);
    EXPECT_STREQ(version, "1.3");

    // Longer than the system allows: the folder cannot be entered.
    const std::string tooLong = dir.str() + "/" + std::string(5000, 'x');
    EXPECT_EQ(readVersion(version, tooLong), return_error_bin_file_path);
    EXPECT_EQ(readVersion(version, std::string(5000, 'y') + "/"), return_error_bin_file_path);
}
