#include "progress.h"

#include <algorithm>

namespace trk7700::cli {

ProgressReport::ProgressReport(std::FILE *out, bool terminal)
    : out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now())
{
}

void ProgressReport::bytes(uint64_t done, uint64_t total)
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double fraction = total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 0.0;
    const double rate = elapsed > 0.2 ? static_cast<double>(done) / elapsed : 0.0;
    const double secondsLeft = trk7700::client::estimateSecondsLeft(done, total, elapsed);
    const std::string left = secondsLeft >= 0 ? formatDuration(secondsLeft) : "--:--";
    if (terminal_) {
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(fraction * kWidth);
        std::string bar(static_cast<size_t>(filled), '#');
        bar.resize(kWidth, '.');
        std::fprintf(out_, "\r  [%s] %3d%%  %7.0f/%.0f KiB  %6.1f KiB/s  elapsed %s  left %s \x1b[K", bar.c_str(),
                     static_cast<int>(fraction * 100), static_cast<double>(done) / 1024.0,
                     static_cast<double>(total) / 1024.0, rate / 1024.0, formatDuration(elapsed).c_str(),
                     left.c_str());
        drawn_ = true;
    } else {
        const int tenth = static_cast<int>(fraction * 10);
        if (tenth == lastPlainTenth_) return;
        lastPlainTenth_ = tenth;
        std::fprintf(out_, "  %3d%%  %llu of %llu bytes  %.1f KiB/s  elapsed %s  left %s\n", tenth * 10,
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), rate / 1024.0,
                     formatDuration(elapsed).c_str(), left.c_str());
    }
    std::fflush(out_);
}

void ProgressReport::phase(const std::string &what)
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
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
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (terminal_ && drawn_) std::fprintf(out_, "\r\x1b[K");
    if (!closing.empty()) std::fprintf(out_, "  %s (%s)\n", closing.c_str(), formatDuration(elapsed).c_str());
    std::fflush(out_);
}

}  // namespace trk7700::cli
