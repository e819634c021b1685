#pragma once
// How far a log readout has come. While the library downloads, it writes the
// logger's memory into "DB.sr" in the readout's folder as the bytes arrive;
// the size of that file against the size of the memory is the progress.
#include "conversion/track_conversion.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trk7700::client {

// The logger's log memory: 249,856 records of 16 bytes.
inline constexpr uint64_t kLogImageBytes = 3997696;
inline constexpr const char *kRawLogFileName = "DB.sr";
// Every file the library works with in the readout's folder.
inline constexpr const char *kLibraryWorkFiles[] = {kRawLogFileName, "SortDB.sr", "Output_tmp.dat", "Output_new.tmp"};

// "DB.sr" in the readout's folder, made absolute against the current
// directory now. Take it before the download starts: the library changes the
// process's current directory while it works.
std::string rawLogFile(const ReadoutFiles &files);

// "m:ss", or "h:mm:ss" from an hour on; negative durations count as 0.
std::string formatDuration(double seconds);

// Seconds left at the mean rate so far, or a negative value while nothing can
// be said yet (no bytes, or too little time to measure a rate).
double estimateSecondsLeft(uint64_t done, uint64_t total, double elapsedSeconds);

// Where a download stands, as "DB.sr" shows it: missing until the logger
// sends, growing while the bytes come, full while the library orders the
// records, and gone again once it writes the track text.
enum class DownloadPhase { waitingForLogger, receiving, ordering, writingText };

struct DownloadProgress {
    DownloadPhase phase = DownloadPhase::waitingForLogger;
    uint64_t bytes = 0;         // of kLogImageBytes received
    int percent = 0;            // 0..100, rounded down
    double elapsedSeconds = 0;  // since the download started
    double bytesPerSecond = 0;  // the mean rate so far; 0 while too soon to say
    double secondsLeft = -1;    // negative while nothing can be said yet
};

// Watches one download; the front ends ask it a few times a second and show
// its answer in their own words.
class DownloadWatcher {
public:
    // The raw file is fixed now, before the library moves the current directory.
    explicit DownloadWatcher(const ReadoutFiles &files);

    // The progress from the raw file's size at this moment.
    DownloadProgress look(double elapsedSeconds);
    // The progress from a size already measured; none while the file is missing.
    DownloadProgress see(double elapsedSeconds, std::optional<uint64_t> rawFileSize);

    const std::string &rawFile() const { return rawFile_; }

private:
    std::string rawFile_;
    bool rawFileSeen_ = false;
};

}  // namespace trk7700::client
