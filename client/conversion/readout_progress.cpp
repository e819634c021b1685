#include "conversion/readout_progress.h"

#include "conversion/file_ops.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace trk7700::client {
namespace {

// Below this the rate is mostly the handshake's delay.
constexpr double kShortestMeasure = 0.2;

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
    if (done == 0 || !(elapsedSeconds >= kShortestMeasure)) return -1.0;
    const double rate = static_cast<double>(done) / elapsedSeconds;
    return static_cast<double>(total - std::min(done, total)) / rate;
}

}  // namespace trk7700::client
