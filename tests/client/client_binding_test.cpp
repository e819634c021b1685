// The binding loads the library by its file name on first use, resolves each
// entry point on its first call, and turns a missing library or entry point
// into a failure text instead of a crash.
#include "binding/library_binding.h"
#include "binding/result_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using trk7700::client::LibraryBinding;
using trk7700::client::LinkCall;
using trk7700::client::resultText;
using trk7700::client::TextBuffer;

TEST(ResultTextTest, NumberBlankAndNameForEveryResult)
{
#define TRK7700_EXPECT_TEXT(value, name) EXPECT_EQ(resultText(value), std::to_string(value) + " " #name);
    TRK7700_RESULT_TABLE(TRK7700_EXPECT_TEXT)
#undef TRK7700_EXPECT_TEXT
    EXPECT_EQ(resultText(26), "26 return_not_dump_mode");
    EXPECT_EQ(resultText(5), "5 return_pc_not_enough_memory");
}

TEST(ResultTextTest, ValueOutsideTheTableGivesTheNumberAlone)
{
    for (int32_t value : {0, 1, 40, -1}) EXPECT_EQ(resultText(value), std::to_string(value));
}

TEST(TextBufferTest, ReadsBackUpToTheFirstNul)
{
    TextBuffer buffer(8);
    EXPECT_EQ(buffer.text(), "        ");  // untouched: the blanks
    std::memcpy(buffer.data(), "10.2", 5);
    EXPECT_EQ(buffer.text(), "10.2");
}

TEST(LibraryBindingTest, CallsTheBuiltLibrary)
{
    LibraryBinding library;
    TextBuffer version(5);
    const LinkCall call = library.readDllVersion(version);
    ASSERT_TRUE(call.made()) << call.failure;
    EXPECT_EQ(call.result, return_read_dll_version_successful);
    EXPECT_EQ(version.text(), "1.5");
    // A second call reuses the entry point; dump mode was never entered.
    EXPECT_EQ(library.exitDumpMode().result, return_exit_dump_mode);
    int32_t serial = -7;
    TextBuffer firmware(8);
    EXPECT_EQ(library.readDeviceInformation(0, serial, firmware).result, return_not_dump_mode);
    EXPECT_EQ(serial, -7);
}

TEST(LibraryBindingTest, MissingLibraryIsToldOnEveryCall)
{
    LibraryBinding library("libTRK7700_missing.so");
    for (int attempt = 0; attempt < 2; ++attempt) {
        int32_t found = -1;
        const LinkCall call = library.autoIntoDumpMode(found);
        EXPECT_FALSE(call.made());
        EXPECT_EQ(call.result, 0);
        EXPECT_NE(call.failure.find("libTRK7700_missing.so cannot be loaded"), std::string::npos) << call.failure;
        EXPECT_EQ(found, -1);
    }
}

TEST(LibraryBindingTest, MissingEntryPointIsNamed)
{
    // A library that loads but has none of the entry points.
    LibraryBinding library("libm.so.6");
    TextBuffer version(5);
    const LinkCall call = library.readDllVersion(version);
    EXPECT_FALSE(call.made());
    EXPECT_EQ(call.failure, "libm.so.6 has no entry point QZ_TRK7700_READ_DLL_VERSION.");
    EXPECT_EQ(version.text(), "     ");
    EXPECT_EQ(library.exitDumpMode().failure, "libm.so.6 has no entry point QZ_TRK7700_EXIT_DUMP_MODE.");
}

}  // namespace
