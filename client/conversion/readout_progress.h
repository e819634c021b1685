#pragma once
// How far a log readout has come. While the library downloads, it writes the
// logger's memory into "DB.sr" in the readout's folder as the bytes arrive;
// the size of that file against the size of the memory is the progress.
#include "conversion/track_conversion.h"

#include <cstdint>
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

}  // namespace trk7700::client
