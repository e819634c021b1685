// The front ends' shared Windows code under Wine: the run-time binding of
// TRK7700_DLL.dll (LoadLibraryA/GetProcAddress) against the simulated logger,
// and the start of outside programs (CreateProcessA without a window), with
// this program itself as the program started.
#include "binding/library_binding.h"
#include "conversion/track_conversion.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    char path[MAX_PATH] {};
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
    EXPECT_EQ((std::vector<int> {hour, minute, second}), (std::vector<int> {12, 34, 56}));
    EXPECT_EQ(library.exitDumpMode().result, return_exit_dump_mode);
}

// Arguments that the command line must carry through the Windows quoting
// unchanged: GPSBabel's empty "-p" value, blanks, quotes and backslashes.
TEST(WindowsProgramStartTest, ArgumentsArriveUnchanged)
{
    const std::vector<std::string> arguments = {
        "--echo-arguments", "-p", "", "two words", "say \"hi\"", "C:\\Tracks\\", "C:\\My Tracks\\Wayfolk.nmea",
        "back\\\\\"slash", "tab\there"};
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
