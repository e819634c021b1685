#include "conversion/readout_progress.h"

#include "conversion/file_ops.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace trk7700::client {
namespace {

// Below this the rate is mostly the handshake's delay.
constexpr double kShortestMeasure = 0.2;

double meanRate(uint64_t done, double elapsedSeconds)
{
    return elapsedSeconds >= kShortestMeasure ? static_cast<double>(done) / elapsedSeconds : 0.0;
}

}  // namespace

std::string rawLogFile(const ReadoutFiles &files)
{
    // The library's work folder is the text file's path up to its last separator.
    const std::string &text = files.trackText;
    const std::string folder = text.substr(0, text.rfind(kFolderSeparator) + 1);
    std::error_code error;
    const auto absolute = std::filesystem::absolute(folder + kRawLogFileName, error);
    return error ? folder + kRawLogFileName : absolute.string();
}

std::string formatDuration(double seconds)
{
    if (!(seconds > 0)) seconds = 0;
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

double estimateSecondsLeft(uint64_t done, uint64_t total, double elapsedSeconds)
{
    const double rate = meanRate(done, elapsedSeconds);
    if (!(rate > 0)) return -1.0;
    return static_cast<double>(total - std::min(done, total)) / rate;
}

DownloadWatcher::DownloadWatcher(const ReadoutFiles &files) : rawFile_(rawLogFile(files)) {}

DownloadProgress DownloadWatcher::look(double elapsedSeconds)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(rawFile_, error);
    return see(elapsedSeconds, error ? std::nullopt : std::optional<uint64_t>(size));
}

DownloadProgress DownloadWatcher::see(double elapsedSeconds, std::optional<uint64_t> rawFileSize)
{
    DownloadProgress progress;
    progress.elapsedSeconds = elapsedSeconds;
    if (!rawFileSize) {
        // Gone after it was there: the library has ordered the records and
        // removed it while it writes the text.
        if (rawFileSeen_) {
            progress.phase = DownloadPhase::writingText;
            progress.bytes = kLogImageBytes;
            progress.percent = 100;
        }
        return progress;
    }
    rawFileSeen_ = true;
    progress.bytes = std::min(*rawFileSize, kLogImageBytes);
    progress.percent = static_cast<int>(progress.bytes * 100 / kLogImageBytes);
    progress.bytesPerSecond = meanRate(progress.bytes, elapsedSeconds);
    progress.secondsLeft = estimateSecondsLeft(progress.bytes, kLogImageBytes, elapsedSeconds);
    progress.phase = progress.bytes < kLogImageBytes ? DownloadPhase::receiving : DownloadPhase::ordering;
    return progress;
}

}  // namespace trk7700::client
