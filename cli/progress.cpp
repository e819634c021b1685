#include "progress.h"

namespace trk7700::cli {

ProgressReport::ProgressReport(std::FILE *out, bool terminal)
    : out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now())
{
}

void ProgressReport::bytes(const trk7700::client::DownloadProgress &seen)
{
    using trk7700::client::kLogImageBytes;
    const double left = seen.secondsLeft;
    const std::string leftText = left >= 0 ? formatDuration(left) : "--:--";
    const std::string elapsed = formatDuration(seen.elapsedSeconds);
    if (terminal_) {
        constexpr int kWidth = 30;
        const auto filled = static_cast<size_t>(seen.bytes * kWidth / kLogImageBytes);
        std::string bar(filled, '#');
        bar.resize(kWidth, '.');
        std::fprintf(out_, "\r  [%s] %3d%%  %7.0f/%.0f KiB  %6.1f KiB/s  elapsed %s  left %s \x1b[K", bar.c_str(),
                     seen.percent, static_cast<double>(seen.bytes) / 1024.0,
                     static_cast<double>(kLogImageBytes) / 1024.0, seen.bytesPerSecond / 1024.0, elapsed.c_str(),
                     leftText.c_str());
        drawn_ = true;
    } else {
        const int tenth = seen.percent / 10;
        if (tenth == lastPlainTenth_) return;
        lastPlainTenth_ = tenth;
        std::fprintf(out_, "  %3d%%  %llu of %llu bytes  %.1f KiB/s  elapsed %s  left %s\n", tenth * 10,
                     static_cast<unsigned long long>(seen.bytes), static_cast<unsigned long long>(kLogImageBytes),
                     seen.bytesPerSecond / 1024.0, elapsed.c_str(), leftText.c_str());
    }
    std::fflush(out_);
}

double ProgressReport::elapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressReport::phase(const std::string &what)
{
    const double elapsed = elapsedSeconds();
    if (terminal_) {
        std::fprintf(out_, "\r  %s  elapsed %s\x1b[K", what.c_str(), formatDuration(elapsed).c_str());
        drawn_ = true;
    } else if (what != lastPhase_) {
        std::fprintf(out_, "  %s\n", what.c_str());
    }
    lastPhase_ = what;
    std::fflush(out_);
}

void ProgressReport::finish(const std::string &closing)
{
    const double elapsed = elapsedSeconds();
    if (terminal_ && drawn_) std::fprintf(out_, "\r\x1b[K");
    if (!closing.empty()) std::fprintf(out_, "  %s (%s)\n", closing.c_str(), formatDuration(elapsed).c_str());
    std::fflush(out_);
}

}  // namespace trk7700::cli
