#pragma once
// Progress of a long library call, told on the terminal: a bar that redraws
// itself when standard error is a terminal, plain lines otherwise.
#include "conversion/readout_progress.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace trk7700::cli {

class ProgressReport {
public:
    ProgressReport(std::FILE *out, bool terminal);
    // A download's bytes so far, as its watcher sees them; called a few times a second.
    void bytes(const trk7700::client::DownloadProgress &seen);
    // A phase without a measure (ordering, waiting): elapsed time only.
    void phase(const std::string &what);
    void finish(const std::string &closing);
    // Seconds since the report began.
    double elapsedSeconds() const;

private:
    std::FILE *out_;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    int lastPlainTenth_ = -1;
    std::string lastPhase_;
    bool drawn_ = false;
};

using trk7700::client::formatDuration;

}  // namespace trk7700::cli
