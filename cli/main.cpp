// trk7700: the TRK-7700 logger from the command line, for scripts and terminals.
// It binds the link library at run time exactly as the desktop tool does and
// shares the tool's conversion step.
#include "advice.h"
#include "binding/library_binding.h"
#include "binding/result_text.h"
#include "binding/shipped_files.h"
#include "conversion/speed_units.h"
#include "conversion/track_conversion.h"
#include "progress.h"
#include "serial/port_map.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using trk7700::client::LibraryBinding;
using trk7700::client::LinkCall;
using trk7700::client::TextBuffer;
using namespace trk7700::cli;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
using trk7700::client::kLogImageBytes;

LibraryBinding library;

[[noreturn]] void usageError(const std::string &message)
{
    std::fprintf(stderr, "trk7700: %s\nTry 'trk7700 --help'.\n", message.c_str());
    std::exit(kExitUsage);
}

int fail(const std::string &message)
{
    std::fprintf(stderr, "trk7700: %s\n", message.c_str());
    return kExitFailed;
}

// A call that could not be made at all (library or entry point missing).
bool callMade(const LinkCall &call)
{
    if (call.made()) return true;
    fail(call.failure + " Build the project or reinstall it so that the library lies beside trk7700 or under lib/.");
    return false;
}

// Runs a library call on a worker thread; the caller's tick runs a few times
// a second meanwhile, so that a long call can show its progress.
LinkCall runWithProgress(const std::function<LinkCall()> &call, const std::function<void()> &tick)
{
    auto pending = std::async(std::launch::async, call);
    while (pending.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) tick();
    return pending.get();
}

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::string humanSize(uintmax_t bytes)
{
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%ju bytes", bytes);
    return text;
}

// --- connection --------------------------------------------------------------

// Dump mode for the length of one command; left again at the end.
class Connection {
public:
    explicit Connection(const std::string &port) : port_(port) {}
    ~Connection()
    {
        if (open_) library.exitDumpMode();
    }
    // Enters dump mode on the chosen port or by search; false after telling why.
    bool open()
    {
        LinkCall call;
        int32_t found = 0;
        if (port_ == "auto") {
            std::fprintf(stderr, "Searching the ports for a logger...\n");
            call = library.autoIntoDumpMode(found);
        } else {
            found = std::atoi(port_.c_str());
            call = library.intoDumpMode(found);
        }
        if (!callMade(call)) return false;
        if (call.result != return_into_dump_mode_successful) {
            if (port_ == "auto" && call.result == return_can_not_open_com_port)
                fail("no logger found on any port (" + trk7700::client::resultText(call.result) +
                     "). Check that it is switched on and connected; 'trk7700 ports' lists the ports.");
            else
                fail("cannot connect on COM" + port_ + ": " + explainFailure(call.result));
            return false;
        }
        comPort_ = found;
        open_ = true;
        const std::string device = trk7700::serial::resolvePortPath(found);
        std::fprintf(stderr, "Connected to the logger on COM%d%s.\n", found,
                     device.empty() ? "" : (" (" + device + ")").c_str());
        return true;
    }
    int32_t comPort() const { return comPort_; }
    // After a firmware upgrade the library has already closed the port.
    void forget() { open_ = false; }

private:
    std::string port_;
    int32_t comPort_ = 0;
    bool open_ = false;
};

// --- options -----------------------------------------------------------------

struct Arguments {
    std::vector<std::string> words;
    std::map<std::string, std::string> values;
    std::vector<std::string> flags;
    bool has(const std::string &flag) const
    {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    }
    std::optional<std::string> value(const std::string &name) const
    {
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

// Splits the words after the command into positional words, --flags and
// --name value pairs (only names listed in withValue take a value).
Arguments parseArguments(const std::vector<std::string> &args, const std::vector<std::string> &flagNames,
                         const std::vector<std::string> &valueNames, const std::string &command)
{
    Arguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a.rfind("--", 0) == 0) {
            std::string name = a, inlineValue;
            const auto eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                inlineValue = a.substr(eq + 1);
            }
            if (std::find(valueNames.begin(), valueNames.end(), name) != valueNames.end()) {
                if (eq != std::string::npos) parsed.values[name] = inlineValue;
                else if (i + 1 < args.size()) parsed.values[name] = args[++i];
                else usageError(name + " needs a value");
            } else if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end() && eq == std::string::npos) {
                parsed.flags.push_back(name);
            } else {
                usageError("unknown option " + a + " for '" + command + "'");
            }
        } else {
            parsed.words.push_back(a);
        }
    }
    return parsed;
}

unsigned long parseNumber(const std::string &text, const std::string &what, unsigned long maximum)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value > maximum)
        usageError(what + " must be a whole number from 0 to " + std::to_string(maximum) + ", not '" + text + "'");
    return value;
}

bool parseSwitch(const std::string &text, const std::string &what)
{
    if (text == "on") return true;
    if (text == "off") return false;
    usageError(what + " takes 'on' or 'off', not '" + text + "'");
}

std::string defaultTargetFolder()
{
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/Wayfolk";
}

// --- commands ----------------------------------------------------------------

const char *kMainHelp =
    "Usage: trk7700 [--port N|auto] COMMAND [OPTIONS]\n"
    "\n"
    "Talks to a TRK-7700 GPS track logger over its serial port.\n"
    "\n"
    "Commands:\n"
    "  download [DIR]          read the whole log into DIR as text and NMEA files\n"
    "  erase                   erase the logger's log memory\n"
    "  settings                show the recording settings, or change them\n"
    "  info                    serial number, firmware version, GPS UTC time, library version\n"
    "  firmware version DIR    the firmware version of the image in DIR\n"
    "  firmware upgrade DIR    send the firmware image in DIR to the logger\n"
    "  ports                   which device each COM number maps to\n"
    "\n"
    "Options:\n"
    "  --port N     use the logger on COM N\n"
    "  --port auto  search all ports for the logger (the default)\n"
    "  --help       this text; 'trk7700 COMMAND --help' explains a command\n";

const std::map<std::string, const char *> kCommandHelp = {
    {"download",
     "Usage: trk7700 [--port N|auto] download [DIR] [--date] [--per-mark] [--kml] [--plt] [--gpx]\n"
     "\n"
     "Reads the logger's whole log memory (about six minutes at 115200 baud) into DIR\n"
     "(default ~/Wayfolk): Wayfolk.txt (the track text with marks), Wayfolk.nmea (the\n"
     "NMEA sentences of the whole log) and, on request, KML, PLT and GPX files made by\n"
     "GPSBabel.\n"
     "\n"
     "  --date      put the date and time of the readout into every file name\n"
     "  --per-mark  also write each run of marked records to wayfolk(TAG<mark>).nmea\n"
     "  --kml       make Wayfolk.kml (Google Earth)\n"
     "  --plt       make Wayfolk.plt (Ozi Explorer)\n"
     "  --gpx       make Wayfolk.gpx\n"},
    {"erase",
     "Usage: trk7700 [--port N|auto] erase [--yes]\n"
     "\n"
     "Erases every track on the logger. Asks first unless --yes is given.\n"},
    {"settings",
     "Usage: trk7700 [--port N|auto] settings [--time SECONDS | --distance METRES]\n"
     "                [--min-speed KMH] [--tag on|off] [--vibration on|off]\n"
     "\n"
     "Without options shows the recording settings. With options changes them; what\n"
     "is not named stays as it is. Every change also sends the voice prompts.\n"
     "\n"
     "  --time SECONDS     log a fix every SECONDS seconds (1 to 3600)\n"
     "  --distance METRES  log a fix every METRES metres (1 to 3000)\n"
     "  --min-speed KMH    log only above this speed in km/h (0: any speed; at most 36)\n"
     "  --tag on|off       the mark button\n"
     "  --vibration on|off the vibration sensor\n"},
    {"info",
     "Usage: trk7700 [--port N|auto] info\n"
     "\n"
     "Shows the logger's serial number and firmware version, the UTC time of its GPS\n"
     "receiver and the version of the link library.\n"},
    {"firmware",
     "Usage: trk7700 firmware version DIR\n"
     "       trk7700 [--port N|auto] firmware upgrade DIR\n"
     "\n"
     "'version' checks the image TRK7700_Encode.Bin in DIR and shows its firmware\n"
     "version (no logger needed). 'upgrade' checks it and sends it to the logger,\n"
     "which then restarts: remove the USB cable afterwards.\n"},
    {"ports",
     "Usage: trk7700 ports\n"
     "\n"
     "Shows how COM numbers map to devices: the entries of $TRK7700_PORT_DIR or of\n"
     "~/.config/trk7700/ports, or else the USB and Bluetooth serial devices as they\n"
     "are numbered automatically.\n"},
};

int commandPorts()
{
    const std::string directory = trk7700::serial::activePortDirectory();
    if (!directory.empty()) {
        std::printf("Ports defined by the port directory %s:\n", directory.c_str());
        bool any = false;
        for (int n = 1; n <= 256; ++n) {
            const std::string entry = trk7700::serial::resolvePortPath(n);
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(entry, ec))) continue;
            any = true;
            const auto target = fs::is_symlink(entry, ec) ? fs::read_symlink(entry, ec).string() : entry;
            const bool present = fs::exists(entry, ec);
            std::printf("  COM%-3d -> %s%s\n", n, target.c_str(), present ? "" : "  (missing)");
        }
        if (!any) std::printf("  (no COM entries)\n");
        return kExitOk;
    }
    const auto devices = trk7700::serial::automaticPortDevices();
    std::printf("Ports numbered automatically (USB, then ACM, then Bluetooth rfcomm devices):\n");
    if (devices.empty()) std::printf("  (no USB or Bluetooth serial device present)\n");
    for (size_t i = 0; i < devices.size(); ++i) std::printf("  COM%-3zu -> %s\n", i + 1, devices[i].c_str());
    std::printf("Pin a logger to a number with a link in ~/.config/trk7700/ports, e.g.\n"
                "  mkdir -p ~/.config/trk7700/ports && ln -s /dev/ttyUSB0 ~/.config/trk7700/ports/COM3\n");
    return kExitOk;
}

int commandDownload(const std::string &port, const std::vector<std::string> &args)
{
    const auto a = parseArguments(args, {"--date", "--per-mark", "--kml", "--plt", "--gpx"}, {}, "download");
    if (a.words.size() > 1) usageError("download takes one folder");
    // The library makes the folder the current directory while it works, so the
    // folder must not depend on it.
    const std::string folder = fs::absolute(a.words.empty() ? defaultTargetFolder() : a.words[0]).lexically_normal().string();
    trk7700::client::ExportOptions options;
    options.dateInName = a.has("--date");
    options.perMark = a.has("--per-mark");
    options.kml = a.has("--kml");
    options.plt = a.has("--plt");
    options.gpx = a.has("--gpx");
    // The library makes only the last folder of the path and otherwise quietly
    // writes into the current directory: the whole folder is made here first.
    std::error_code made;
    fs::create_directories(folder, made);
    if (made || !fs::is_directory(folder)) return fail("cannot create the folder " + folder + ": " + made.message());

    Connection connection(port);
    if (!connection.open()) return kExitFailed;
    const auto files = trk7700::client::readoutFiles(folder, options.dateInName ? trk7700::client::makeDateStampNow() : "");

    std::fprintf(stderr, "Reading the log into %s\n", folder.c_str());
    ProgressReport progress(stderr, stderrIsTerminal());
    const std::string rawFile = folder + "/DB.sr";
    bool rawSeen = false;
    const LinkCall call = runWithProgress(
        [&] { return library.dumpDb(connection.comPort(), files.trackText); },
        [&] {
            struct stat st {};
            if (::stat(rawFile.c_str(), &st) == 0) {
                rawSeen = true;
                progress.bytes(static_cast<uint64_t>(st.st_size), kLogImageBytes);
            } else if (rawSeen) {
                progress.phase("Ordering the records and writing the track text...");
            } else {
                progress.phase("Waiting for the logger...");
            }
        });
    if (!callMade(call)) return kExitFailed;
    if (call.result != return_dump_db_successful) {
        progress.finish("");
        return fail("the download failed: " + explainFailure(call.result) +
                    " Files of an earlier readout in the folder were left as they were.");
    }
    progress.finish("Log read");

    const auto outcome = trk7700::client::convertTrackText(files, options.perMark);
    if (!outcome.ok()) {
        using Failure = trk7700::client::ConversionOutcome::Failure;
        if (outcome.failure == Failure::trackTextMissing)
            return fail("the track text " + outcome.failedPath + " is missing, so nothing could be converted.");
        return fail("cannot write " + outcome.failedPath + ": check the folder's permissions and free space.");
    }

    // The GPSBabel runs go side by side; each is waited for and its outcome told.
    struct Conversion {
        trk7700::client::GpsBabelRun run;
        std::string error, diagnostics;
        int status = 0;
    };
    std::vector<Conversion> conversions;
    for (const auto &run : trk7700::client::gpsBabelRuns(files, options)) conversions.push_back({run, {}, {}, 0});
    bool allMade = true;
    if (!conversions.empty()) {
        std::vector<std::future<void>> running;
        for (auto &c : conversions)
            running.push_back(std::async(std::launch::async, [&c] {
                c.status = trk7700::client::runAndWait(trk7700::client::kGpsBabelProgram, c.run.arguments, c.error,
                                                       c.diagnostics);
            }));
        ProgressReport converting(stderr, stderrIsTerminal());
        for (auto &r : running)
            while (r.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready)
                converting.phase("GPSBabel makes the KML, PLT and GPX files...");
        converting.finish(conversions.size() == 1 ? "GPSBabel done" : "GPSBabel done");
        bool missingTold = false;
        for (const auto &c : conversions) {
            if (c.status == 0) continue;
            allMade = false;
            if (c.status < 0 && c.error.find("No such file") != std::string::npos) {
                if (!missingTold)
                    fail(std::string("GPSBabel cannot be started (program '") + trk7700::client::kGpsBabelProgram +
                         "'): install the Debian package '" + trk7700::client::kGpsBabelPackage +
                         "'. No KML, PLT or GPX files were made.");
                missingTold = true;
                continue;
            }
            fail("GPSBabel could not make " + c.run.output + ": " +
                 (c.status < 0 ? c.error : "exit status " + std::to_string(c.status)) +
                 (c.diagnostics.empty() ? "" : "\n" + c.diagnostics));
        }
    }

    const size_t records = outcome.sentenceLines / 2;
    std::printf("Read %zu records (%zu with a mark) into %s\n", records, outcome.markedLines / 2, folder.c_str());
    auto showFile = [](const std::string &path) {
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        std::printf("  %-28s %s\n", fs::path(path).filename().c_str(), ec ? "(missing)" : humanSize(size).c_str());
    };
    showFile(files.trackText);
    showFile(files.nmea);
    if (!outcome.markFiles.empty()) {
        std::vector<std::string> distinct;
        for (const auto &m : outcome.markFiles)
            if (std::find(distinct.begin(), distinct.end(), m) == distinct.end()) distinct.push_back(m);
        uintmax_t total = 0;
        for (const auto &m : distinct) {
            std::error_code ec;
            total += fs::file_size(m, ec);
        }
        std::printf("  %-28s %zu files, %s together\n", "wayfolk(TAG<mark>).nmea", distinct.size(),
                    humanSize(total).c_str());
    }
    for (const auto &c : conversions) showFile(c.run.output);
    return allMade ? kExitOk : kExitFailed;
}

int commandErase(const std::string &port, const std::vector<std::string> &args)
{
    const auto a = parseArguments(args, {"--yes"}, {}, "erase");
    if (!a.words.empty()) usageError("erase takes no arguments");
    if (!a.has("--yes")) {
        if (::isatty(STDIN_FILENO) != 1) return fail("erasing needs a confirmation: add --yes when no one can answer.");
        std::fprintf(stderr, "Erase every track on the logger? This cannot be undone. [y/N] ");
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") {
            std::fprintf(stderr, "Nothing erased.\n");
            return kExitFailed;
        }
    }
    Connection connection(port);
    if (!connection.open()) return kExitFailed;
    ProgressReport progress(stderr, stderrIsTerminal());
    const LinkCall call = runWithProgress([&] { return library.eraseAllDb(connection.comPort()); },
                                          [&] { progress.phase("Erasing (this can take a few minutes)..."); });
    progress.finish("");
    if (!callMade(call)) return kExitFailed;
    if (call.result != return_erase_db_successful) return fail("the erase failed: " + explainFailure(call.result));
    std::printf("The logger's log memory is erased.\n");
    return kExitOk;
}

struct DeviceSettingsView {
    int32_t time = -1, distance = -1;
    uint8_t vibration = 0, tag = 0, minSpeed = 0;
};

void printSettings(const DeviceSettingsView &s)
{
    if (s.time != -1) std::printf("Logging:        every %d s\n", s.time);
    else std::printf("Logging:        every %d m\n", s.distance);
    if (s.minSpeed == 0) std::printf("Minimum speed:  none (logs at any speed)\n");
    else std::printf("Minimum speed:  %ld km/h (%u knots)\n", trk7700::client::knotsToShownKmh(s.minSpeed), s.minSpeed);
    std::printf("Mark button:    %s\n", s.tag == 1 ? "on" : "off");
    std::printf("Vibration:      %s\n", s.vibration != 0 ? "on" : "off");
}

int commandSettings(const std::string &port, const std::vector<std::string> &args)
{
    const auto a = parseArguments(args, {}, {"--time", "--distance", "--min-speed", "--tag", "--vibration"}, "settings");
    if (!a.words.empty()) usageError("settings takes only options");
    Connection connection(port);
    if (!connection.open()) return kExitFailed;

    DeviceSettingsView current;
    LinkCall call = library.readSettingValue(connection.comPort(), current.time, current.distance, current.vibration,
                                             current.tag, current.minSpeed);
    if (!callMade(call)) return kExitFailed;
    if (call.result != return_read_setting_value_successful)
        return fail("cannot read the settings: " + explainFailure(call.result));
    if (a.values.empty()) {
        printSettings(current);
        return kExitOk;
    }

    uint32_t time = current.time != -1 ? static_cast<uint32_t>(current.time) : 0;
    uint32_t distance = current.time == -1 ? static_cast<uint32_t>(current.distance) : 0;
    if (a.value("--time") || a.value("--distance")) {
        time = a.value("--time") ? static_cast<uint32_t>(parseNumber(*a.value("--time"), "--time", 0xFFFFFFFE)) : 0;
        distance = a.value("--distance")
                       ? static_cast<uint32_t>(parseNumber(*a.value("--distance"), "--distance", 0xFFFFFFFE))
                       : 0;
    }
    // The knots read back go back unchanged unless a new speed is given, so
    // that the round trip through km/h cannot drift.
    uint8_t minSpeed = current.minSpeed;
    if (const auto kmh = a.value("--min-speed")) {
        const unsigned long value = parseNumber(*kmh, "--min-speed", 471);
        minSpeed = value == 0 ? 0 : static_cast<uint8_t>(trk7700::client::kmhToSentKnots(static_cast<double>(value)));
    }
    const uint8_t tag = a.value("--tag") ? (parseSwitch(*a.value("--tag"), "--tag") ? 1 : 0) : (current.tag == 1 ? 1 : 0);
    const uint8_t vibration =
        a.value("--vibration") ? (parseSwitch(*a.value("--vibration"), "--vibration") ? 2 : 0) : (current.vibration != 0 ? 2 : 0);

    const std::string waveFolder = trk7700::client::voicePromptFolder(TRK7700_DATA_DIR);
    call = library.settingDevice(connection.comPort(), time, distance, vibration, tag, waveFolder, minSpeed);
    if (!callMade(call)) return kExitFailed;
    if (call.result != return_setting_device_successful)
        return fail("the settings were not stored: " + explainFailure(call.result));
    std::printf("Settings stored.\n");
    DeviceSettingsView stored;
    call = library.readSettingValue(connection.comPort(), stored.time, stored.distance, stored.vibration, stored.tag,
                                    stored.minSpeed);
    if (call.made() && call.result == return_read_setting_value_successful) printSettings(stored);
    return kExitOk;
}

int commandInfo(const std::string &port, const std::vector<std::string> &args)
{
    const auto a = parseArguments(args, {}, {}, "info");
    if (!a.words.empty()) usageError("info takes no arguments");
    int exitCode = kExitOk;
    TextBuffer dllVersion(5);
    LinkCall call = library.readDllVersion(dllVersion);
    if (!callMade(call)) return kExitFailed;
    Connection connection(port);
    if (!connection.open()) return kExitFailed;

    int32_t serial = 0;
    TextBuffer firmware(8);
    call = library.readDeviceInformation(connection.comPort(), serial, firmware);
    if (call.made() && call.result == return_read_device_information_successful) {
        std::printf("Serial number:    %u\n", static_cast<uint32_t>(serial));
        std::printf("Firmware version: %s\n", firmware.text().c_str());
    } else {
        exitCode = call.made() ? fail("cannot read the device information: " + explainFailure(call.result)) : kExitFailed;
    }
    uint8_t h = 0, m = 0, s = 0, y = 0, mo = 0, d = 0;
    call = library.readGpsUtcTimeDate(h, m, s, y, mo, d);
    if (call.made() && call.result == return_read_gps_utc_time_successful) {
        std::printf("GPS UTC time:     %02u:%02u:%02u, day %u, month %u, year %02u\n", h, m, s, d, mo, y);
    } else {
        exitCode = call.made() ? fail("cannot read the GPS time: " + explainFailure(call.result)) : kExitFailed;
    }
    std::printf("Library version:  %s\n", dllVersion.text().c_str());
    return exitCode;
}

int commandFirmware(const std::string &port, const std::vector<std::string> &args)
{
    const auto a = parseArguments(args, {}, {}, "firmware");
    if (a.words.size() != 2 || (a.words[0] != "version" && a.words[0] != "upgrade"))
        usageError("firmware takes 'version DIR' or 'upgrade DIR'");
    const std::string folder = fs::absolute(a.words[1]).string() + "/";
    if (a.words[0] == "version") {
        TextBuffer version(11);
        const LinkCall call = library.readBinFileFwVersion(version, folder);
        if (!callMade(call)) return kExitFailed;
        if (call.result != return_read_binfile_FW_version_successful)
            return fail("cannot read the image in " + folder + ": " + explainFailure(call.result));
        std::printf("Firmware version of %sTRK7700_Encode.Bin: %s\n", folder.c_str(), version.text().c_str());
        return kExitOk;
    }
    Connection connection(port);
    if (!connection.open()) return kExitFailed;
    ProgressReport progress(stderr, stderrIsTerminal());
    const LinkCall call = runWithProgress([&] { return library.fwUpgrade(connection.comPort(), folder); },
                                          [&] { progress.phase("Sending the firmware..."); });
    progress.finish("");
    if (!callMade(call)) return kExitFailed;
    if (call.result != return_upgrade_firmware_successful)
        return fail("the firmware upgrade failed: " + explainFailure(call.result));
    connection.forget();
    std::printf("Firmware sent; the logger restarts. Please remove the USB cable.\n");
    return kExitOk;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string port = "auto";
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kMainHelp, stdout);
            return kExitOk;
        }
        if (a == "--port" || a.rfind("--port=", 0) == 0) {
            if (a == "--port") {
                if (i + 1 >= argc) usageError("--port needs a COM number or 'auto'");
                port = argv[++i];
            } else {
                port = a.substr(7);
            }
            if (port != "auto") port = std::to_string(parseNumber(port, "--port", 255));
            continue;
        }
        if (a.rfind("-", 0) == 0) usageError("unknown option " + a);
        break;
    }
    if (i >= argc) {
        std::fputs(kMainHelp, stderr);
        return kExitUsage;
    }
    const std::string command = argv[i++];
    std::vector<std::string> rest(argv + i, argv + argc);
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
        std::find(rest.begin(), rest.end(), "-h") != rest.end()) {
        const auto help = kCommandHelp.find(command);
        if (help == kCommandHelp.end()) usageError("unknown command '" + command + "'");
        std::fputs(help->second, stdout);
        return kExitOk;
    }
    if (command == "ports") return commandPorts();
    if (command == "download") return commandDownload(port, rest);
    if (command == "erase") return commandErase(port, rest);
    if (command == "settings") return commandSettings(port, rest);
    if (command == "info") return commandInfo(port, rest);
    if (command == "firmware") return commandFirmware(port, rest);
    usageError("unknown command '" + command + "'");
}
