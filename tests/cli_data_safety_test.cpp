// Nothing the user has is lost or exposed on the paths around a readout:
// convert refuses what is no readout and leaves the folder as it was, reads
// its input in place and never takes it for scratch; the readout, the NMEA
// file and the history entry are on the disk before the erase goes out; a
// Ctrl-C before the erase means no erase; the history is the user's alone and
// never loses an entry; a trickling logger ends the readout.
// Each case runs trk7700 as a program against the simulated logger.
#include "sim/track_generator.h"
#include "support/command_line.h"
#include "support/device_fixture.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zlib.h>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// text compressed as a gzip stream.
std::string gzipped(const std::string &text)
{
    uLongf size = compressBound(static_cast<uLong>(text.size())) + 64;
    std::string out(size, '\0');
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<fs::path> filesUnder(const fs::path &folder)
{
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto &entry : fs::recursive_directory_iterator(folder, ec)) found.push_back(entry.path());
    return found;
}

class DataSafetyTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_DATA_HOME");
        DeviceTest::TearDown();
    }

    CommandRun run(const std::vector<std::string> &arguments, const CommandOptions &options = {})
    {
        return runCommand(dir.path(), arguments, options);
    }

    void loadLog(sim::LogShape shape, uint64_t seed = 7)
    {
        const auto log = sim::generateLog(shape, seed);
        logger->withState([&](sim::DeviceState &s) { s.logImage = log.image; });
        image.assign(log.image.begin(), log.image.end());
        records = log.points.size();
    }

    // A track text as the library writes it, from a readout of the simulated logger.
    std::string readoutText()
    {
        logger->setBaudRate(0);
        const fs::path out = dir / "readout";
        const CommandRun r = run({"--port", "3", "download", out.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return readFile(out / "Wayfolk.txt");
    }

    fs::path historyOf(uint32_t serial) const { return dir / "data" / "trk7700" / "history" / std::to_string(serial); }

    // A folder holding an earlier readout's track text and NMEA file.
    std::map<std::string, std::string> plantEarlierReadout(const fs::path &folder)
    {
        fs::create_directories(folder);
        std::map<std::string, std::string> files;
        for (const char *name : {"Wayfolk.txt", "Wayfolk.nmea", "Wayfolk.gpx"}) {
            files[name] = std::string("earlier ") + name + "\r\n";
            writeFile(folder / name, files[name]);
        }
        return files;
    }

    static void expectUnchanged(const fs::path &folder, const std::map<std::string, std::string> &files)
    {
        for (const auto &[name, content] : files) EXPECT_EQ(readFile(folder / name), content) << name;
        for (const auto &entry : fs::directory_iterator(folder))
            EXPECT_TRUE(files.count(entry.path().filename().string()) == 1) << "left behind: " << entry.path();
    }

    std::string standInGpsBabel(const std::string &script)
    {
        const fs::path bin = dir / "standin-bin";
        fs::create_directories(bin);
        writeFile(bin / "gpsbabel", "#!/bin/sh\nfor a; do out=$a; done\n" + script + "\n");
        fs::permissions(bin / "gpsbabel", fs::perms::owner_all);
        return bin.string() + ":/usr/bin:/bin";
    }

    std::string image;
    size_t records = 0;
};

}  // namespace

TEST_F(DataSafetyTest, ConvertRefusesWhatIsNoReadoutAndLeavesTheFolderAsItWas)
{
    loadLog(sim::LogShape::drive);
    const std::string text = readoutText();
    ASSERT_FALSE(text.empty());
    const std::string header = text.substr(0, text.find("\r\n", text.find("\r\n") + 2) + 2);

    std::string randomBytes(200000, '\0');
    uint32_t x = 12345;
    for (char &c : randomBytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    std::string badChecksums = text;
    for (size_t star = badChecksums.find('*'); star != std::string::npos; star = badChecksums.find('*', star + 1))
        badChecksums[star + 1] = badChecksums[star + 1] == '0' ? '1' : '0';
    const std::string entry = gzipped(text);

    struct Case {
        const char *name;
        std::function<void(const fs::path &)> make;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"a photo", [&](const fs::path &p) { writeFile(p, randomBytes); }, "no raw log"},
        {"a readme", [&](const fs::path &p) { fs::copy_file(TRK_SOURCE_DIR "/README.md", p); }, "no raw log"},
        {"a raw log too large",
         [&](const fs::path &p) {
             writeFile(p, "");
             fs::resize_file(p, 5ull << 30);  // sparse: nothing to read, much to copy
         },
         "larger than the logger's log memory"},
        {"an empty file", [&](const fs::path &p) { writeFile(p, ""); }, "it is empty"},
        {"a cut history entry", [&](const fs::path &p) { writeFile(p, entry.substr(0, entry.size() / 2)); },
         "cut short or damaged"},
        {"a compressed text that is no track text", [&](const fs::path &p) { writeFile(p, gzipped("hello\n")); },
         "holds no track text"},
        {"a compressed flood of zeros", [&](const fs::path &p) { writeFile(p, gzipped(std::string(80u << 20, '\0'))); },
         "more than a full log's track text"},
        {"a text with wrong checksums", [&](const fs::path &p) { writeFile(p, badChecksums); },
         "line 3 holds no GGA or RMC sentence with a right checksum"},
        {"a text with a 50 MB line",
         [&](const fs::path &p) { writeFile(p, header + "---,$GPGGA," + std::string(50u << 20, '1') + "\r\n"); },
         "line 3 is longer than any record line"},
        {"a FIFO", [&](const fs::path &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "not a regular file"},
        {"a history name that is none", [](const fs::path &) {}, "neither a file nor an entry"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / (std::string("out-") + c.name);
        const auto earlier = plantEarlierReadout(out);
        const fs::path input = dir / (std::string("input-") + c.name);
        c.make(input);
        const std::string given = fs::exists(fs::symlink_status(input)) ? input.string() : "12345/never";
        CommandOptions bounded;
        bounded.timeLimit = 20;
        const CommandRun r = run({"convert", given, out.string(), "--gpx"}, bounded);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
        EXPECT_FALSE(contains(r.out, "Converted")) << r.out;
        EXPECT_LT(r.seconds, 10.0) << "the input is judged, not copied or read through";
        expectUnchanged(out, earlier);
        std::error_code ec;
        fs::remove(input, ec);
    }

    // What is a readout converts: the text, the raw log and the entry by path.
    writeFile(dir / "DB.sr", image);
    writeFile(dir / "entry.gz", entry);
    writeFile(dir / "text.txt", text);
    for (const char *name : {"text.txt", "DB.sr", "entry.gz"}) {
        SCOPED_TRACE(name);
        const fs::path out = dir / (std::string("good-") + name);
        const CommandRun r = run({"convert", (dir / name).string(), out.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(contains(r.out, "Converted " + std::to_string(records) + " records")) << r.out;
        EXPECT_EQ(readFile(out / "Wayfolk.txt"), text);
    }
    EXPECT_EQ(readFile(dir / "DB.sr"), image) << "the input is read where it lies";
}

TEST_F(DataSafetyTest, TheWaypointScratchFileNeverFollowsALinkNorWaitsOnAFifo)
{
    loadLog(sim::LogShape::marks);
    const std::string text = readoutText();
    writeFile(dir / "text.txt", text);
    const fs::path victim = dir / "victim";
    writeFile(victim, "not yours");
    struct Case {
        const char *name;
        std::function<void(const fs::path &)> plant;
    } cases[] = {
        {"link", [&](const fs::path &p) { fs::create_symlink(victim, p); }},
        {"fifo", [](const fs::path &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / c.name;
        fs::create_directories(out);
        c.plant(out / ".Wayfolk.marks.gpx");
        CommandOptions bounded;
        bounded.timeLimit = 30;
        const CommandRun r = run({"convert", (dir / "text.txt").string(), out.string(), "--gpx"}, bounded);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readFile(victim), "not yours");
        EXPECT_TRUE(contains(readFile(out / "Wayfolk.gpx"), "<wpt")) << "the marks still become waypoints";
        EXPECT_FALSE(fs::exists(fs::symlink_status(out / ".Wayfolk.marks.gpx")));
    }
}

TEST_F(DataSafetyTest, EverythingIsOnTheDiskBeforeTheEraseAndAFailedSyncStopsIt)
{
    loadLog(sim::LogShape::drive);
    logger->setBaudRate(0);
    struct Case {
        const char *name;
        const char *failOn;  // a part of the path whose sync fails
        bool erased;
    } cases[] = {
        {"every sync succeeds", "", true},
        {"the NMEA file cannot be synced", "Wayfolk.nmea", false},
        {"the history entry cannot be synced", ".txt.gz", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        loadLog(sim::LogShape::drive);
        const int erasesBefore = logger->snapshot().erases;
        const fs::path out = dir / c.name;
        const fs::path log = dir / (std::string("synced-") + c.name);
        CommandOptions options;
        options.environment = {{"LD_PRELOAD", TRK_FSYNC_PROBE},
                               {"ASAN_OPTIONS", "verify_asan_link_order=0"},
                               {"TRK_TEST_FSYNC_LOG", log.string()},
                               {"TRK_TEST_FSYNC_FAIL", c.failOn}};
        const CommandRun r = run({"--port", "3", "download", out.string(), "--erase", "--yes"}, options);
        EXPECT_EQ(logger->snapshot().erases - erasesBefore, c.erased ? 1 : 0);
        const std::string synced = readFile(log);
        if (c.erased) {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            // The files, the history entry, and the folders that name them.
            for (const fs::path &path :
                 {out / "Wayfolk.txt", out / "Wayfolk.nmea", out, historyOf(12345), historyOf(12345).parent_path()})
                EXPECT_TRUE(contains(synced, path.string() + "\n")) << path << " in\n" << synced;
            EXPECT_TRUE(contains(synced, historyOf(12345).string() + "/20")) << synced;
        } else {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(contains(r.err, "cannot put the readout on the disk")) << r.err;
            EXPECT_TRUE(contains(r.err, "nothing was erased")) << r.err;
            EXPECT_TRUE(contains(r.err, "Input/output error")) << r.err;
        }
    }
}

TEST_F(DataSafetyTest, CtrlCBeforeTheEraseMeansNoEraseAndNeverRemovesAnInput)
{
    // During the compression into the history: a full log takes seconds.
    loadLog(sim::LogShape::full);
    logger->setBaudRate(0);
    const fs::path out = dir / "out";
    RunningCommand command(dir.path(), {"--port", "3", "download", out.string(), "--erase", "--yes"});
    bool compressing = false;
    for (int i = 0; i < 12000 && !compressing; ++i) {
        for (const auto &path : filesUnder(historyOf(12345)))
            compressing = compressing || contains(path.filename().string(), ".partial");
        if (!compressing) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(compressing);
    auto sent = std::chrono::steady_clock::now();
    command.signal(SIGINT);
    CommandRun r = command.finishAfter(sent);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_LT(r.seconds, 1.0);
    EXPECT_TRUE(contains(r.err, "Nothing was erased")) << r.err;
    EXPECT_EQ(logger->snapshot().erases, 0) << "the logger keeps its log";
    EXPECT_TRUE(filesUnder(historyOf(12345)).empty()) << "the part of the entry is removed";
    EXPECT_TRUE(fs::is_regular_file(out / "Wayfolk.nmea")) << "the readout's files stay";

    // convert DIR/DB.sr DIR: the input has a scratch name but stays.
    loadLog(sim::LogShape::drive);
    const fs::path folder = dir / "rescue";
    fs::create_directories(folder);
    writeFile(folder / "DB.sr", image);
    const fs::path started = dir / "gpsbabel-started";
    CommandOptions options;
    options.path = standInGpsBabel("touch " + started.string() + "; exec sleep 30");
    RunningCommand conversion(dir.path(), {"convert", (folder / "DB.sr").string(), folder.string(), "--gpx"}, options);
    for (int i = 0; i < 4000 && !fs::exists(started); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(fs::exists(started));
    sent = std::chrono::steady_clock::now();
    conversion.signal(SIGINT);
    r = conversion.finishAfter(sent);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_LT(r.seconds, 1.0);
    EXPECT_EQ(readFile(folder / "DB.sr"), image) << "an input is never scratch";
}

TEST_F(DataSafetyTest, AHistoryThatCannotBeWrittenIsToldAndNeverEndsWithZero)
{
    loadLog(sim::LogShape::drive);
    logger->setBaudRate(0);
    // Where the history should go stands a file.
    writeFile(dir / "data", "in the way");
    const fs::path out = dir / "out";
    CommandRun r = run({"--port", "3", "download", out.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "cannot keep the readout in the history")) << r.err;
    EXPECT_TRUE(fs::is_regular_file(out / "Wayfolk.nmea")) << "the readout's files are kept";

    r = run({"--port", "3", "download", out.string(), "--erase", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "nothing was erased")) << r.err;
    EXPECT_EQ(logger->snapshot().erases, 0);
}

TEST_F(DataSafetyTest, ATextWithControlBytesInItsMarksStillMakesGpxAndKml)
{
    loadLog(sim::LogShape::marks);
    std::string text = readoutText();
    // Every mark column "--5" of the records becomes "\x01-5".
    for (size_t at = text.find("\r\n--"); at != std::string::npos; at = text.find("\r\n--", at + 2))
        text[at + 2] = '\x01';
    writeFile(dir / "text.txt", text);
    const fs::path out = dir / "out";
    const CommandRun r = run({"convert", (dir / "text.txt").string(), out.string(), "--gpx", "--kml"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char *name : {"Wayfolk.gpx", "Wayfolk.kml"}) {
        const std::string made = readFile(out / name);
        EXPECT_TRUE(contains(made, "Mark ")) << name;
        EXPECT_EQ(made.find('\x01'), std::string::npos) << name;
    }
}

TEST_F(DataSafetyTest, TimeZoneMustBeAZoneFile)
{
    const fs::path out = dir / "out";
    for (const char *zone : {"zone.tab", "leapseconds", "iso3166.tab", "../../etc/passwd"}) {
        SCOPED_TRACE(zone);
        const CommandRun r = run({"--port", "3", "download", out.string(), "--days", "--tz", zone});
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_TRUE(contains(r.err, "is no time zone")) << r.err;
    }
    EXPECT_EQ(logger->openCount(), 0);
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DataSafetyTest, ALoggerThatTricklesEndsTheReadoutWithATimeOut)
{
    // 800 baud: 80 bytes a second, far below a tenth of the line rate; the
    // log memory would take 14 hours.
    loadLog(sim::LogShape::full);
    connect();
    logger->setBaudRate(800);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = QZ_TRK7700_DUMP_DB(kCom, (dir / "Wayfolk.txt").c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const double cpu = static_cast<double>(after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                       static_cast<double>(after.ru_stime.tv_sec - before.ru_stime.tv_sec);
    EXPECT_EQ(result, return_device_time_out);
    EXPECT_GE(seconds, 59.0) << "a minute of trickle is forgiven";
    EXPECT_LT(seconds, 75.0);
    EXPECT_LT(cpu, 30.0) << "the wait does not spin";
    EXPECT_FALSE(fs::exists(dir / "Wayfolk.txt"));
}
