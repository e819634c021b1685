// The command line keeps the user's tracks: option values are checked before
// the port is touched, erasing and flashing ask first, an empty readout keeps
// an earlier one, --erase follows only a complete readout, a signal ends the
// run cleanly, a port that cannot be opened is explained, GPSBabel's result is
// checked, and planted links and FIFOs are replaced, never followed.
// Each case runs trk7700 as a program against the simulated logger.
#include "sim/track_generator.h"
#include "support/command_line.h"
#include "support/device_fixture.h"
#include "support/firmware_file_builder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/stat.h>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

CommandOptions onPath(const std::string &path)
{
    CommandOptions options;
    options.path = path;
    return options;
}

CommandOptions answering(const std::string &answer)
{
    CommandOptions options;
    options.terminal = true;
    options.answer = answer;
    return options;
}

CommandOptions withinSeconds(double seconds)
{
    CommandOptions options;
    options.timeLimit = seconds;
    return options;
}

const char *const kScratchNames[] = {"DB.sr",
                                     "SortDB.sr",
                                     "Output_tmp.dat",
                                     "Output_new.tmp",
                                     "Wayfolk.txt.partial",
                                     "Wayfolk.nmea.partial",
                                     "Wayfolk.partial.gpx"};

class CommandLineSafetyTest : public DeviceTest {
protected:
    CommandRun run(const std::vector<std::string> &arguments, const CommandOptions &options = {})
    {
        return runCommand(dir.path(), arguments, options);
    }

    // An earlier readout in folder: every file with its own content.
    std::map<std::string, std::string> plantEarlierReadout(const fs::path &folder)
    {
        fs::create_directories(folder);
        std::map<std::string, std::string> files;
        for (const char *name :
             {"Wayfolk.txt", "Wayfolk.nmea", "Wayfolk.kml", "Wayfolk.plt", "Wayfolk.gpx", "wayfolk(TAG--5).nmea"}) {
            files[name] = std::string("earlier ") + name + "\r\n";
            writeFile(folder / name, files[name]);
        }
        return files;
    }

    static void expectKept(const fs::path &folder, const std::map<std::string, std::string> &files)
    {
        for (const auto &[name, content] : files) EXPECT_EQ(readFile(folder / name), content) << name;
    }

    // Neither the library's working files nor this run's partial files are left.
    static void expectNoScratch(const fs::path &folder)
    {
        for (const char *name : kScratchNames) EXPECT_FALSE(fs::exists(fs::symlink_status(folder / name))) << name;
        expectNoPartialFiles(folder);
    }
    static void expectNoPartialFiles(const fs::path &folder)
    {
        for (const auto &entry : fs::directory_iterator(folder))
            EXPECT_FALSE(contains(entry.path().filename().string(), ".partial")) << entry.path();
    }

    // A folder on PATH whose "gpsbabel" is the given shell script (the real
    // one's arguments: ... -o FORMAT -F OUTPUT), plus the system's folders.
    std::string standInGpsBabel(const std::string &script)
    {
        const fs::path bin = dir / "standin-bin";
        fs::create_directories(bin);
        writeFile(bin / "gpsbabel", "#!/bin/sh\nfor a; do out=$a; done\n" + script + "\n");
        fs::permissions(bin / "gpsbabel", fs::perms::owner_all);
        return bin.string() + ":/usr/bin:/bin";
    }

    void loadLog(sim::LogShape shape, uint64_t seed = 7)
    {
        const auto log = sim::generateLog(shape, seed);
        logger->withState([&](sim::DeviceState &s) { s.logImage = log.image; });
        records = log.points.size();
    }

    size_t records = 0;
};

}  // namespace

TEST_F(CommandLineSafetyTest, OptionValuesAreCheckedBeforeThePortIsTouched)
{
    const fs::path out = dir / "out";
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> saysInError;
    } cases[] = {
        {{"--port", "3", "settings", "--time", "0"}, {"'0' is less than 1", "from 1 to 3600"}},
        {{"--port", "3", "settings", "--distance", "0"}, {"'0' is less than 1", "from 1 to 3000"}},
        {{"--port", "3", "settings", "--time", "-5"}, {"'-5' is negative", "from 1 to 3600"}},
        {{"--port", "3", "settings", "--distance", "ten"}, {"'ten' is not a number", "from 1 to 3000"}},
        {{"--port", "3", "settings", "--time", "99999999999999999999"}, {"is more than 3600"}},
        {{"--port", "3", "settings", "--distance", "3001"},
         {"is more than 3000", "20 return_displacementinterval_over_3000meter_error"}},
        {{"--port", "3", "settings", "--min-speed", "37"},
         {"is more than 36", "30 return_log_min_speed_over_20_knot_error"}},
        {{"--port", "3", "settings", "--min-speed", "-1"}, {"'-1' is negative"}},
        {{"--port", "3", "settings", "--vibration", "yes"}, {"'on' or 'off'"}},
        {{"--port", "3", "settings", "--time", "5", "--distance", "5"}, {"--time excludes --distance"}},
        {{"--port", "0", "info"}, {"--port", "'0' is less than 1"}},
        {{"--port", "three", "info"}, {"--port", "'three' is not a number"}},
        {{"info", "--port", "-3"}, {"--port", "'-3' is negative"}},
        {{"--port", "3", "info", "--bogus"}, {"--bogus"}},
        {{"--port", "3", "download", out.string(), "--yes"}, {"--yes requires --erase"}},
        {{"--port", "3", "download", out.string(), "second"}, {"second"}},
        {{"--port", "3", "firmware", "upgrade"}, {"DIR"}},
        {{"--port", "3", "erase", "now"}, {"now"}},
    };
    for (const auto &c : cases) {
        std::string line;
        for (const auto &a : c.arguments) line += a + " ";
        SCOPED_TRACE(line);
        const CommandRun r = run(c.arguments);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        for (const auto &words : c.saysInError) EXPECT_TRUE(contains(r.err, words)) << r.err;
        // The usage error points to the command's own help.
        const std::string command = c.arguments[2] == "firmware"
                                        ? "trk7700 firmware upgrade"
                                        : (c.arguments[0] == "info" ? "trk7700 info" : "trk7700 " + c.arguments[2]);
        EXPECT_TRUE(contains(r.err, "Run '" + command + " --help'")) << r.err;
    }
    EXPECT_EQ(logger->openCount(), 0) << "no usage error may touch the port";
    EXPECT_FALSE(fs::exists(out)) << "nor make the target folder";
    EXPECT_EQ(logger->snapshot().settingsUploads, 0);
}

TEST_F(CommandLineSafetyTest, HelpVersionPortAfterTheCommandQuietAndJson)
{
    CommandRun r = run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char *command : {"download", "erase", "settings", "info", "firmware", "ports", "--port", "--quiet"})
        EXPECT_TRUE(contains(r.out, command)) << command;
    r = run({"settings", "-h"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(contains(r.out, "(1 to 3600)") && contains(r.out, "(1 to 3000)") && contains(r.out, "--json")) << r.out;
    r = run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(contains(r.out, "trk7700 1.") && contains(r.out, "link library libTRK7700_DLL.so 1.5")) << r.out;
    r = run({});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, "Usage")) << r.err;
    EXPECT_EQ(logger->openCount(), 0);

    r = run({"info", "--json", "--port", "3", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"port\": 3, \"serial_number\": 12345, \"firmware_version\": \"1.2\", \"gps_utc_time\": "
                     "\"2026-12-09T12:34:56Z\", \"library_version\": \"1.5\"}\n");
    EXPECT_EQ(r.err, "") << "--quiet";
    for (const char *port : {"COM3", "003"}) {
        r = run({"info", "--json", "--port", port});
        EXPECT_EQ(r.exitCode, 0) << port << ": " << r.err;
        EXPECT_TRUE(contains(r.out, "\"port\": 3,")) << r.out;
    }
    r = run({"settings", "--port", "3", "--time", "7", "--tag", "off", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"time_interval_s\": 7, \"distance_interval_m\": null, \"min_speed_kmh\": 0, "
                     "\"min_speed_knots\": 0, \"mark_button\": false, \"vibration\": false}\n");
}

TEST_F(CommandLineSafetyTest, EmptyReadoutKeepsEveryEarlierFileAndStartsNoGpsBabel)
{
    // The logger holds no record (its memory is blank).
    const std::string path = standInGpsBabel("touch " + (dir / "gpsbabel-started").string() + "; exit 1");
    struct Case {
        const char *name;
        std::vector<std::string> extra;
        const char *says;
    } cases[] = {
        {"plain", {}, "nothing was converted"},
        {"with --erase", {"--erase", "--yes"}, "nothing to erase"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / c.name;
        const auto earlier = plantEarlierReadout(out);
        std::vector<std::string> arguments = {"--port", "3",     "download", out.string(),
                                              "--kml",  "--plt", "--gpx",    "--per-mark"};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const CommandRun r = run(arguments, onPath(path));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(contains(r.out, "The logger holds no records; the files of the earlier readout")) << r.out;
        EXPECT_TRUE(contains(r.out, c.says)) << r.out;
        expectKept(out, earlier);
        expectNoScratch(out);
        EXPECT_FALSE(fs::exists(dir / "gpsbabel-started"));
    }
    EXPECT_EQ(logger->snapshot().erases, 0);

    // Into a folder without an earlier readout the empty text takes its name.
    const fs::path fresh = dir / "fresh";
    const CommandRun r = run({"--port", "3", "download", fresh.string(), "--gpx"}, onPath(path));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Read 0 records")) << r.out;
    EXPECT_TRUE(fs::is_regular_file(fresh / "Wayfolk.txt"));
    EXPECT_TRUE(fs::is_regular_file(fresh / "Wayfolk.nmea"));
    EXPECT_FALSE(fs::exists(dir / "gpsbabel-started"));
}

TEST_F(CommandLineSafetyTest, EraseFollowsOnlyACompleteReadoutWhoseFilesWereWritten)
{
    loadLog(sim::LogShape::drive);
    struct Case {
        const char *name;
        std::function<void(const fs::path &)> prepare;
        CommandOptions options;
        std::vector<std::string> extra;
        int exitCode;
        const char *says;
        bool erased;
        bool portTouched;
    };
    const std::vector<Case> cases = {
        {"no one can answer", [](const fs::path &) {}, {}, {"--erase"}, 1, "add --yes", false, false},
        {"download fails",
         [this](const fs::path &) {
             logger->setFaults({sim::Fault{sim::FaultKind::silence, 0x60}});
         },
         {},
         {"--erase", "--yes"},
         1,
         "Nothing was erased",
         false,
         true},
        {"NMEA file cannot be written",
         [](const fs::path &out) {
             fs::create_directories(out / "Wayfolk.nmea" / "inside");  // a folder in its place
         },
         {},
         {"--erase", "--yes"},
         1,
         "Nothing was erased",
         false,
         true},
        {"answer no", [](const fs::path &) {}, answering("n\n"), {"--erase"}, 1, "Nothing erased", false, true},
        {"answer yes", [](const fs::path &) {}, answering("y\n"), {"--erase"}, 0, "log memory is erased", true, true},
        {"--yes", [](const fs::path &) {}, {}, {"--erase", "--yes"}, 0, "log memory is erased", true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        loadLog(sim::LogShape::drive);
        const int opensBefore = logger->openCount();
        const int erasesBefore = logger->snapshot().erases;
        const fs::path out = dir / c.name;
        c.prepare(out);
        std::vector<std::string> arguments = {"--port", "3", "download", out.string()};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const CommandRun r = run(arguments, c.options);
        logger->setFaults({});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.says)) << r.out << r.err;
        EXPECT_EQ(logger->snapshot().erases - erasesBefore, c.erased ? 1 : 0);
        EXPECT_EQ(logger->openCount() > opensBefore, c.portTouched);
        if (c.erased) {
            // Erased only with every record in the files.
            EXPECT_TRUE(contains(r.err, std::to_string(records) + " records are saved") || c.options.answer.empty())
                << r.err;
            const auto nmea = readFile(out / "Wayfolk.nmea");
            EXPECT_EQ(static_cast<size_t>(std::count(nmea.begin(), nmea.end(), '\n')), 2 * records);
        }
        if (fs::exists(out)) expectNoPartialFiles(out);
    }
}

TEST_F(CommandLineSafetyTest, EraseAndFirmwareUpgradeAskFirst)
{
    writeFirmwareFile(dir / "bin", buildFirmwareFile(0x0B));  // version 1.3
    const std::string bin = (dir / "bin").string();
    struct Case {
        const char *name;
        std::vector<std::string> arguments;
        CommandOptions options;
        int exitCode;
        std::vector<std::string> says;
        int erases, uploads;
        bool portTouched;
    } cases[] = {
        {"erase, no one can answer", {"erase"}, {}, 1, {"add --yes", "Nothing was erased"}, 0, 0, false},
        {"erase, answer no", {"erase"}, answering("n\n"), 1, {"Erase every track", "Nothing erased"}, 0, 0, false},
        {"erase, answer yes", {"erase"}, answering("y\n"), 0, {"log memory is erased"}, 1, 0, true},
        {"upgrade, no one can answer",
         {"firmware", "upgrade", bin},
         {},
         1,
         {"add --yes", "Nothing was sent"},
         0,
         0,
         false},
        {"upgrade, broken image",
         {"firmware", "upgrade", (dir / "nothing").string(), "--yes"},
         {},
         1,
         {"31 return_error_bin_file_path"},
         0,
         0,
         false},
        {"upgrade, answer no",
         {"firmware", "upgrade", bin},
         answering("n\n"),
         1,
         {"Replace firmware 1.2 on the logger (serial number 12345) with 1.3", "Nothing sent"},
         0,
         0,
         true},
        {"upgrade, answer yes",
         {"firmware", "upgrade", bin},
         answering("y\n"),
         0,
         {"Firmware 1.3 sent (was 1.2)"},
         0,
         1,
         true},
        {"upgrade, --yes",
         {"firmware", "upgrade", bin, "--yes"},
         {},
         0,
         {"Replace firmware", "Firmware 1.3 sent"},
         0,
         1,
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = logger->snapshot();
        const int opensBefore = logger->openCount();
        std::vector<std::string> arguments = {"--port", "3"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CommandRun r = run(arguments, c.options);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        for (const auto &words : c.says) EXPECT_TRUE(contains(r.out + r.err, words)) << r.out << r.err;
        const auto after = logger->snapshot();
        EXPECT_EQ(after.erases - before.erases, c.erases);
        EXPECT_EQ(after.firmwareUploads - before.firmwareUploads, c.uploads);
        EXPECT_EQ(logger->openCount() > opensBefore, c.portTouched);
        ASSERT_TRUE(waitForPortClosed());
    }
}

TEST_F(CommandLineSafetyTest, SignalEndsTheRunWithinASecondAndTheNextRunConnects)
{
    struct Case {
        int signal;
        bool duringGpsBabel;
    } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGTERM, true}, {SIGINT, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.signal == SIGINT ? "SIGINT" : "SIGTERM") +
                     (c.duringGpsBabel ? " while GPSBabel runs" : " during the download"));
        const fs::path out = dir / ("out" + std::to_string(c.signal) + (c.duringGpsBabel ? "g" : "d"));
        const auto earlier = plantEarlierReadout(out);
        const fs::path started = dir / "gpsbabel-pid";
        fs::remove(started);
        CommandOptions options;
        if (c.duringGpsBabel) {
            // GPSBabel that writes half a file and takes its time.
            loadLog(sim::LogShape::drive);
            logger->setBaudRate(0);
            options.path =
                standInGpsBabel("printf '<gpx>' > \"$out\"; echo $$ > " + started.string() + "; exec sleep 30");
        } else {
            // A whole log at the logger's pace takes minutes.
            loadLog(sim::LogShape::wrapped, 1);
            logger->setBaudRate(115200);
        }
        RunningCommand command(dir.path(), {"--port", "3", "download", out.string(), "--gpx"}, options);
        const fs::path waitFor = c.duringGpsBabel ? started : out / "DB.sr";
        for (int i = 0; i < 2000 && !(fs::exists(waitFor) && fs::file_size(waitFor) > 0); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(fs::exists(waitFor));
        const auto sent = std::chrono::steady_clock::now();
        command.signal(c.signal);
        const CommandRun r = command.finishAfter(sent);
        EXPECT_EQ(r.exitCode, 128 + c.signal) << r.err;
        EXPECT_LT(r.seconds, 1.0);
        EXPECT_TRUE(contains(r.err, "interrupted")) << r.err;
        expectNoScratch(out);
        if (c.duringGpsBabel) {
            // The text and NMEA file of the new readout are whole; the earlier GPX stays.
            EXPECT_EQ(readFile(out / "Wayfolk.gpx"), earlier.at("Wayfolk.gpx"));
            const pid_t babel = static_cast<pid_t>(std::stol(readFile(started)));
            EXPECT_NE(::kill(babel, 0), 0) << "GPSBabel is stopped with the run";
        } else {
            expectKept(out, earlier);
        }
        // The next run connects at once.
        logger->setBaudRate(0);
        const CommandRun next = run({"--port", "3", "info"});
        EXPECT_EQ(next.exitCode, 0) << next.err;
        EXPECT_LT(next.seconds, 3.0);
    }
}

TEST_F(CommandLineSafetyTest, PortThatCannotBeOpenedIsExplained)
{
    fs::create_symlink(dir / "unplugged", fs::path(portDir) / "COM5");
    writeFile(dir / "plain-file", "x");
    fs::create_symlink(dir / "plain-file", fs::path(portDir) / "COM6");
    struct Case {
        const char *port;
        const char *says;
    } cases[] = {
        {"5", "does not exist"},
        {"6", "is not a serial device but a regular file"},
        {"7", "COM7 is not mapped"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.port);
        const CommandRun r = run({"info", "--port", c.port});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(contains(r.err, "3 return_can_not_open_com_port")) << r.err;
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
    }
}

TEST_F(CommandLineSafetyTest, GpsBabelFailuresAndCutFilesAreReported)
{
    loadLog(sim::LogShape::drive);
    struct Case {
        const char *name;
        const char *format;  // option
        const char *file;
        std::string script;
        std::vector<std::string> says;
    } cases[] = {
        {"fails",
         "--gpx",
         "Wayfolk.gpx",
         "echo 'no space left' >&2; exit 1",
         {"could not make", "Wayfolk.gpx", "exit status 1", "no space left"}},
        {"cut GPX", "--gpx", "Wayfolk.gpx", "printf '<gpx><trk><trkseg>' > \"$out\"", {"Wayfolk.gpx", "incomplete"}},
        {"cut KML", "--kml", "Wayfolk.kml", "printf '<kml><Document>' > \"$out\"", {"Wayfolk.kml", "incomplete"}},
        {"PLT short of points",
         "--plt",
         "Wayfolk.plt",
         "printf 'h1\\r\\nh2\\r\\nh3\\r\\nh4\\r\\nh5\\r\\n0\\r\\n1,2,0,3,4,,\\r\\n' > \"$out\"",
         {"Wayfolk.plt", "incomplete"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / c.name;
        const auto earlier = plantEarlierReadout(out);
        const CommandRun r =
            run({"--port", "3", "download", out.string(), c.format}, onPath(standInGpsBabel(c.script)));
        EXPECT_EQ(r.exitCode, 1) << r.err;
        for (const auto &words : c.says) EXPECT_TRUE(contains(r.err, words)) << r.err;
        EXPECT_EQ(readFile(out / c.file), earlier.at(c.file)) << "the earlier file stays";
        expectNoScratch(out);
    }

    // The real GPSBabel's files pass the same checks.
    const fs::path out = dir / "real";
    const CommandRun r = run({"--port", "3", "download", out.string(), "--gpx", "--kml", "--plt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char *name : {"Wayfolk.gpx", "Wayfolk.kml", "Wayfolk.plt"}) EXPECT_TRUE(fs::is_regular_file(out / name));

    // A mark file that cannot be written is named.
    loadLog(sim::LogShape::marks);
    const fs::path marks = dir / "marks";
    fs::create_directories(marks / "wayfolk(TAG--0).nmea" / "inside");
    const CommandRun m = run({"--port", "3", "download", marks.string(), "--per-mark"});
    EXPECT_EQ(m.exitCode, 1);
    EXPECT_TRUE(contains(m.err, "cannot write the mark file " + (marks / "wayfolk(TAG--0).nmea").string())) << m.err;
}

TEST_F(CommandLineSafetyTest, PlantedLinksAndFifosAreReplacedNeverFollowed)
{
    loadLog(sim::LogShape::marks);
    const fs::path out = dir / "out";
    fs::create_directories(out);
    const fs::path victim = dir / "victim";
    writeFile(victim, "not yours");
    for (const char *name : {"Wayfolk.nmea", "Wayfolk.kml", "wayfolk(TAG--0).nmea", "Wayfolk.nmea.partial"})
        fs::create_symlink(victim, out / name);
    ASSERT_EQ(::mkfifo((out / "Wayfolk.gpx").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((out / "Wayfolk.partial.gpx").c_str(), 0644), 0);
    const CommandRun r =
        run({"--port", "3", "download", out.string(), "--gpx", "--kml", "--per-mark"}, withinSeconds(30));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(victim), "not yours");
    for (const char *name : {"Wayfolk.nmea", "Wayfolk.kml", "Wayfolk.gpx", "wayfolk(TAG--0).nmea"})
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / name))) << name;
    expectNoScratch(out);
}
