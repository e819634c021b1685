// The transcript tells where the user has been and what the logger holds: it
// is readable by the user alone, never written through a link, never waits
// on a FIFO, and stops growing at its bound.
#include "frame/link_state.h"
#include "frame/trace.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

class TranscriptFileTest : public ::testing::Test {
protected:
    void SetUp() override { previousMask = ::umask(0); }
    void TearDown() override
    {
        ::umask(previousMask);
        resetLinkState();
    }
    static unsigned modeOf(const fs::path &path)
    {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
    }
    TempDir dir;
    mode_t previousMask = 0;
};

TEST_F(TranscriptFileTest, ReadableByTheUserAloneNewOrEarlier)
{
    const fs::path fresh = dir / "fresh.log", earlier = dir / "earlier.log";
    writeFile(earlier, "# an earlier session\n");
    ::chmod(earlier.c_str(), 0644);
    for (const fs::path &path : {fresh, earlier}) {
        SCOPED_TRACE(path);
        trace::setFileForTesting(path.string());
        trace::note("hello");
        EXPECT_EQ(modeOf(path), 0600u);
        EXPECT_NE(readFile(path).find("# hello\n"), std::string::npos);
    }
    EXPECT_EQ(readFile(earlier).rfind("# an earlier session\n", 0), 0u) << "appended to, never truncated";
}

TEST_F(TranscriptFileTest, NeverThroughALinkNorWaitingOnAFifo)
{
    const fs::path victim = dir / "victim";
    writeFile(victim, "not yours");
    fs::create_symlink(victim, dir / "link.log");
    ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0600), 0);
    for (const char *name : {"link.log", "fifo.log"}) {
        SCOPED_TRACE(name);
        trace::setFileForTesting((dir / name).string());  // returns at once, even for the FIFO
        EXPECT_FALSE(trace::enabled());
        trace::note("secret");
    }
    EXPECT_EQ(readFile(victim), "not yours");
}

TEST_F(TranscriptFileTest, StopsGrowingAtItsBound)
{
    // A file already at the bound (sparse: nothing to write).
    const fs::path full = dir / "full.log";
    writeFile(full, "");
    fs::resize_file(full, 128ull << 20);
    trace::setFileForTesting(full.string());
    trace::note("one more");
    const auto size = fs::file_size(full);
    EXPECT_GT(size, 128ull << 20) << "the end is said in the file";
    const uint8_t bytes[64] = {};
    for (int i = 0; i < 100; ++i) trace::received(bytes, sizeof bytes);
    trace::note("and more");
    EXPECT_EQ(fs::file_size(full), size) << "nothing more is written";
}

}  // namespace
