// The command line brings every record into the user's files: a readout that
// broke off keeps what arrived and convert makes files from it.
// Each case runs trk7700 as a program, against the simulated logger where one
// is needed.
#include "sim/track_generator.h"
#include "support/command_line.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <algorithm>
#include <filesystem>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

size_t countOf(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The entries of a folder whose names begin with prefix.
std::vector<fs::path> entriesStartingWith(const fs::path &folder, const std::string &prefix)
{
    std::vector<fs::path> found;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path());
    return found;
}

class CommandLineTrackFilesTest : public DeviceTest {
protected:
    CommandRun run(const std::vector<std::string> &arguments, const CommandOptions &options = {})
    {
        return runCommand(dir.path(), arguments, options);
    }
};

}  // namespace

TEST_F(CommandLineTrackFilesTest, ReadoutThatBrokeOffKeepsWhatArrivedForConvert)
{
    const auto log = sim::generateLog(sim::LogShape::drive, 7);
    logger->withState([&](sim::DeviceState &s) { s.logImage = log.image; });
    constexpr size_t kArrived = 3000;  // records before the cable is pulled
    ASSERT_LT(kArrived, log.points.size());
    logger->setFaults({sim::Fault{sim::FaultKind::hangup, 0x60, kArrived * 16, 500}});

    const fs::path out = dir / "out";
    fs::create_directories(out);
    writeFile(out / "Wayfolk.txt", "earlier text\r\n");
    writeFile(out / "Wayfolk.nmea", "earlier nmea\r\n");
    const CommandRun r = run({"--port", "3", "download", out.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "the download failed")) << r.err;
    EXPECT_EQ(readFile(out / "Wayfolk.txt"), "earlier text\r\n");
    EXPECT_EQ(readFile(out / "Wayfolk.nmea"), "earlier nmea\r\n");

    const auto parts = entriesStartingWith(out, "Wayfolk-broken-off-");
    ASSERT_EQ(parts.size(), 1u) << r.err;
    const std::string part = parts.front().string();
    EXPECT_EQ(parts.front().extension(), ".sr");
    EXPECT_TRUE(contains(r.err, "The " + std::to_string(kArrived) + " records that arrived")) << r.err;
    EXPECT_TRUE(contains(r.err, "kept in " + part)) << r.err;
    EXPECT_TRUE(contains(r.err, "trk7700 convert " + part + " DIR")) << r.err;
    EXPECT_FALSE(fs::exists(out / "DB.sr"));

    // convert orders the part as a log: the records that arrived, oldest first.
    const fs::path again = dir / "again";
    const CommandRun c = run({"convert", part, again.string()});
    EXPECT_EQ(c.exitCode, 0) << c.err;
    const std::string text = readFile(again / "Wayfolk.txt");
    EXPECT_EQ(countOf(text, "$GPGGA,"), kArrived + 1);  // and the header line
    EXPECT_EQ(countOf(readFile(again / "Wayfolk.nmea"), "$GPRMC,"), kArrived);
    // The part stays where it is.
    EXPECT_TRUE(fs::is_regular_file(part));
}
