// The front ends' shared Windows code under Wine: the run-time binding of
// TRK7700_DLL.dll (LoadLibraryA/GetProcAddress) against the simulated logger,
// the start of outside programs (CreateProcessA without a window), with this
// program itself as the program started, and the readout's files on Windows
// (backslash paths, renames onto existing files, the history).
#include "binding/library_binding.h"
#include "conversion/file_ops.h"
#include "conversion/readout_history.h"
#include "conversion/readout_staging.h"
#include "conversion/track_conversion.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using trk7700::client::LibraryBinding;
using trk7700::client::TextBuffer;

int32_t comNumber()
{
    const char *text = std::getenv("TRK7700_TEST_COM");
    return text != nullptr ? std::atoi(text) : 3;
}

std::string thisProgram()
{
    char path[MAX_PATH]{};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

TEST(WindowsBindingTest, CallsTheDllFoundBesideTheProgram)
{
    LibraryBinding library;
    EXPECT_EQ(library.fileName(), "TRK7700_DLL.dll");
    TextBuffer version(5);
    const auto call = library.readDllVersion(version);
    ASSERT_TRUE(call.made()) << call.failure;
    EXPECT_EQ(call.result, return_read_dll_version_successful);
    EXPECT_EQ(version.text(), "1.5");
}

TEST(WindowsBindingTest, MissingLibraryIsToldOnEveryCall)
{
    LibraryBinding library("NoSuchLibrary.dll");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto call = library.exitDumpMode();
        EXPECT_FALSE(call.made());
        EXPECT_EQ(call.failure.rfind("NoSuchLibrary.dll cannot be loaded", 0), 0u) << call.failure;
    }
}

TEST(WindowsBindingTest, TalksToTheLoggerThroughTheBinding)
{
    LibraryBinding library;
    const auto enter = library.intoDumpMode(comNumber());
    ASSERT_TRUE(enter.made()) << enter.failure;
    ASSERT_EQ(enter.result, return_into_dump_mode_successful);
    int32_t serial = -7;
    TextBuffer firmware(5);
    EXPECT_EQ(library.readDeviceInformation(comNumber(), serial, firmware).result,
              return_read_device_information_successful);
    EXPECT_EQ(serial, 12345);
    EXPECT_EQ(firmware.text(), "1.2");
    uint8_t hour = 0, minute = 0, second = 0, year = 0, month = 0, day = 0;
    EXPECT_EQ(library.readGpsUtcTimeDate(hour, minute, second, year, month, day).result,
              return_read_gps_utc_time_successful);
    EXPECT_EQ((std::vector<int>{hour, minute, second}), (std::vector<int>{12, 34, 56}));
    EXPECT_EQ(library.exitDumpMode().result, return_exit_dump_mode);
}

// Arguments that the command line must carry through the Windows quoting
// unchanged: GPSBabel's empty "-p" value, blanks, quotes and backslashes.
TEST(WindowsProgramStartTest, ArgumentsArriveUnchanged)
{
    const std::vector<std::string> arguments = {
        "--echo-arguments", "-p",       "", "two words", "say \"hi\"", "C:\\Tracks\\", "C:\\My Tracks\\Wayfolk.nmea",
        "back\\\\\"slash",  "tab\there"};
    std::string error, diagnostics;
    EXPECT_EQ(trk7700::client::runAndWait(thisProgram(), arguments, error, diagnostics), 0) << error;
    std::string expected;
    for (size_t i = 1; i < arguments.size(); ++i) expected += "[" + arguments[i] + "]\n";
    EXPECT_EQ(diagnostics, expected);
}

TEST(WindowsProgramStartTest, ExitStatusAndMissingProgram)
{
    std::string error, diagnostics;
    EXPECT_EQ(trk7700::client::runAndWait(thisProgram(), {"--exit-with", "7"}, error, diagnostics), 7) << error;
    EXPECT_EQ(trk7700::client::runAndWait("no-such-program-here.exe", {}, error, diagnostics), -1);
    EXPECT_EQ(error.rfind("cannot start no-such-program-here.exe", 0), 0u) << error;

    trk7700::client::DetachedLauncher launcher;
    error.clear();
    EXPECT_TRUE(launcher.startDetached(thisProgram(), {"--exit-with", "0"}, error)) << error;
    EXPECT_FALSE(launcher.startDetached("no-such-program-here.exe", {}, error));
    EXPECT_EQ(error.rfind("cannot start no-such-program-here.exe", 0), 0u) << error;
}

TEST(WindowsProgramStartTest, MissingProgramIsToldApartFromAFailingOne)
{
    std::string error, diagnostics;
    bool missing = false;
    EXPECT_EQ(trk7700::client::runAndWait("no-such-program-here.exe", {}, error, diagnostics, {}, &missing), -1);
    EXPECT_TRUE(missing) << error;
    EXPECT_EQ(trk7700::client::runAndWait(thisProgram(), {"--exit-with", "7"}, error, diagnostics, {}, &missing), 7);
    EXPECT_FALSE(missing);
}

// The readout's names carry the separator the library splits its paths at.
TEST(WindowsReadoutFilesTest, NamesUseBackslashes)
{
    const auto files = trk7700::client::readoutFiles("C:\\my.tracks", "05_12-9_07_03");
    EXPECT_EQ(files.trackText, "C:\\my.tracks\\Wayfolk05_12-9_07_03.txt");
    EXPECT_EQ(files.markFile("--5"), "C:\\my.tracks\\wayfolk(TAG--5)05_12-9_07_03.nmea");
    const struct {
        const char *output, *partial;
    } cases[] = {
        {"C:\\my.tracks\\Wayfolk.plt", "C:\\my.tracks\\Wayfolk.partial.plt"},
        {"C:\\my.tracks\\Wayfolk", "C:\\my.tracks\\Wayfolk.partial"},
    };
    for (const auto &c : cases) EXPECT_EQ(trk7700::client::gpsBabelPartialName(c.output), c.partial) << c.output;
}

class WindowsFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = trk7700::client::makePrivateScratchFolder("trk7700-test-");
        ASSERT_FALSE(folder.empty());
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string path(const std::string &name) const { return folder + "\\" + name; }
    static void write(const std::string &path, const std::string &text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string read(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string folder;
};

const std::string kHeader = "header one\r\nheader two\r\n";
const std::string kRecord = "--- $GPGGA,123456.000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

// Windows does not rename onto an existing file by itself: a second readout
// into the same folder must still replace the first one's files, and an empty
// one must leave them.
TEST_F(WindowsFolderTest, ReadoutReplacesAnEarlierOneAndAnEmptyOneKeepsIt)
{
    const auto files = trk7700::client::readoutFiles(folder, "");
    write(files.trackText, kHeader + kRecord);
    write(files.nmea, "earlier\r\n");
    write(trk7700::client::stagedTrackText(files), kHeader);
    std::string error;
    EXPECT_EQ(trk7700::client::placeStagedTrackText(files, error),
              trk7700::client::StagedTextOutcome::emptyKeptEarlier);
    EXPECT_EQ(read(files.trackText), kHeader + kRecord);
    EXPECT_FALSE(trk7700::client::entryExists(trk7700::client::stagedTrackText(files)));

    write(trk7700::client::stagedTrackText(files), kHeader + kRecord + kRecord);
    ASSERT_EQ(trk7700::client::placeStagedTrackText(files, error), trk7700::client::StagedTextOutcome::placed) << error;
    EXPECT_EQ(read(files.trackText), kHeader + kRecord + kRecord);
    const auto outcome = trk7700::client::convertTrackText(files, false);
    ASSERT_TRUE(outcome.ok()) << outcome.failedPath;
    EXPECT_EQ(outcome.sentenceLines, 2u);
    EXPECT_EQ(read(files.nmea), kRecord.substr(4) + kRecord.substr(4));
    EXPECT_FALSE(trk7700::client::entryExists(trk7700::client::partialName(files.nmea)));
}

TEST_F(WindowsFolderTest, FreshFileAndRegularReading)
{
    write(path("taken"), "old content");
    std::FILE *fresh = trk7700::client::createFreshFile(path("taken"));
    ASSERT_NE(fresh, nullptr);
    std::fputs("new", fresh);
    std::fclose(fresh);
    EXPECT_EQ(read(path("taken")), "new");
    EXPECT_EQ(trk7700::client::openRegularForReading(folder), nullptr);  // a folder is no track text
    EXPECT_EQ(trk7700::client::openRegularForReading(path("missing")), nullptr);
    std::FILE *in = trk7700::client::openRegularForReading(path("taken"));
    ASSERT_NE(in, nullptr);
    std::fclose(in);
}

// The history lies under %LOCALAPPDATA%\trk7700 and comes back byte for byte.
TEST_F(WindowsFolderTest, HistoryKeepsAndRestoresTheText)
{
    ASSERT_EQ(_putenv_s("LOCALAPPDATA", folder.c_str()), 0);
    EXPECT_EQ(trk7700::client::historyFolder(), folder + "\\trk7700\\history");
    write(path("Wayfolk.txt"), kHeader + kRecord);
    std::string error;
    const std::string entry = trk7700::client::keepInHistory(path("Wayfolk.txt"), 12345, 1765000000, error);
    ASSERT_FALSE(entry.empty()) << error;
    EXPECT_EQ(entry, "12345/2025-12-06T05-46-40Z");
    const auto listed = trk7700::client::listHistory();
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_TRUE(trk7700::client::restoreFromHistory(entry, path("restored.txt"), error)) << error;
    EXPECT_EQ(read(path("restored.txt")), kHeader + kRecord);
}

}  // namespace

// Started by the tests above: echoes its arguments to standard error, one a
// line in brackets, or ends with the status asked for.
int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--echo-arguments") == 0) {
        _setmode(_fileno(stderr), _O_BINARY);  // line ends as written
        for (int i = 2; i < argc; ++i) std::fprintf(stderr, "[%s]\n", argv[i]);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--exit-with") == 0) return std::atoi(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
