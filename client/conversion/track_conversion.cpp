#include "conversion/track_conversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace trk7700::client {
namespace {

std::string twoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

const std::string kLineEnd = "\r\n";
constexpr size_t kMarkColumnWidth = 4;
constexpr size_t kMarkTextWidth = 3;
const std::string kUnmarked = "---";

// The mark text becomes part of a file name. One that holds a character no
// file name can hold ('/' or NUL; the library never writes such a mark) gets
// no file of its own: its lines go to the whole-log file only.
bool canNameFile(const std::string &markText)
{
    return markText.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string makeDateStamp(const std::tm &t)
{
    return twoDigits(t.tm_mday) + "_" + twoDigits(t.tm_mon + 1) + "-" + std::to_string(t.tm_hour) + "_" +
           twoDigits(t.tm_min) + "_" + twoDigits(t.tm_sec);
}

std::string makeDateStampNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return makeDateStamp(local);
}

ReadoutFiles readoutFiles(const std::string &folder, const std::string &stamp)
{
    ReadoutFiles f;
    f.folder = folder;
    f.stamp = stamp;
    const std::string base = folder + "/Wayfolk" + stamp;
    f.trackText = base + ".txt";
    f.nmea = base + ".nmea";
    f.kml = base + ".kml";
    f.plt = base + ".plt";
    f.gpx = base + ".gpx";
    return f;
}

std::string ReadoutFiles::markFile(const std::string &markText) const
{
    return folder + "/wayfolk(TAG" + markText + ")" + stamp + ".nmea";
}

ConversionOutcome convertTrackText(const ReadoutFiles &files, bool perMark)
{
    ConversionOutcome outcome;
    std::ifstream in(files.trackText, std::ios::binary);
    if (!in) {
        outcome.failure = ConversionOutcome::Failure::trackTextMissing;
        outcome.failedPath = files.trackText;
        return outcome;
    }
    std::ofstream nmea(files.nmea, std::ios::binary | std::ios::trunc);
    if (!nmea) {
        outcome.failure = ConversionOutcome::Failure::nmeaNotWritable;
        outcome.failedPath = files.nmea;
        return outcome;
    }
    std::ofstream markFile;
    std::string previousMark = kUnmarked;
    std::string line;
    size_t lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber <= 2) continue;  // the two header lines
        const std::string mark = line.substr(0, kMarkTextWidth);
        if (mark != previousMark && perMark) {
            if (markFile.is_open()) markFile.close();
            if (mark != kUnmarked && canNameFile(mark)) {
                const std::string path = files.markFile(mark);
                markFile.open(path, std::ios::binary | std::ios::trunc);
                if (!markFile) {
                    outcome.failure = ConversionOutcome::Failure::markFileNotWritable;
                    outcome.failedPath = path;
                    return outcome;
                }
                outcome.markFiles.push_back(path);
            }
        }
        const std::string sentence = line.size() > kMarkColumnWidth ? line.substr(kMarkColumnWidth) : std::string();
        nmea << sentence << kLineEnd;
        ++outcome.sentenceLines;
        if (mark != kUnmarked) ++outcome.markedLines;
        if (markFile.is_open()) markFile << sentence << kLineEnd;
        previousMark = mark;
    }
    nmea.flush();
    if (!nmea) {
        outcome.failure = ConversionOutcome::Failure::nmeaNotWritable;
        outcome.failedPath = files.nmea;
    }
    return outcome;
}

std::vector<GpsBabelRun> gpsBabelRuns(const ReadoutFiles &files, const ExportOptions &options)
{
    std::vector<GpsBabelRun> runs;
    auto add = [&](const char *format, const std::string &output) {
        runs.push_back({format, output, {"-p", "", "-w", "-i", "nmea", "-f", files.nmea, "-o", format, "-F", output}});
    };
    if (options.kml) add("kml", files.kml);
    if (options.plt) add("ozi", files.plt);
    if (options.gpx) add("gpx", files.gpx);
    return runs;
}

namespace {

std::vector<char *> argv(const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<char *> list;
    list.push_back(const_cast<char *>(program.c_str()));
    for (const auto &a : arguments) list.push_back(const_cast<char *>(a.c_str()));
    list.push_back(nullptr);
    return list;
}

std::string startFailure(const std::string &program, int code)
{
    return "cannot start " + program + ": " + std::strerror(code);
}

}  // namespace

bool DetachedLauncher::startDetached(const std::string &program, const std::vector<std::string> &arguments,
                                     std::string &error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    auto list = argv(program, arguments);
    const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, list.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = startFailure(program, rc);
        return false;
    }
    // Nobody waits for the program; collect its exit so that it leaves no zombie.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

int runAndWait(const std::string &program, const std::vector<std::string> &arguments, std::string &error,
               std::string &diagnostics)
{
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        error = startFailure(program, errno);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    pid_t pid = 0;
    auto list = argv(program, arguments);
    const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, list.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(errPipe[0]);
        error = startFailure(program, rc);
        return -1;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0 && diagnostics.size() < 65536) diagnostics.append(buffer, static_cast<size_t>(n));
    ::close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    error = program + " ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
}

}  // namespace trk7700::client
