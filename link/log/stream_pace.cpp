#include "log/stream_pace.h"

namespace trk7700::log {

void StreamPace::add(size_t bytes, int second)
{
    if (second_ < 0) second_ = second;
    // Each second that passed closes; seconds without a read brought nothing.
    for (int passed = (second - second_ + 60) % 60; passed > 0; --passed) {
        windowBytes_ -= perSecond_[at_];
        perSecond_[at_] = current_;
        windowBytes_ += current_;
        at_ = (at_ + 1) % perSecond_.size();
        current_ = 0;
        if (wholeSeconds_ < kTrickleWindowSeconds) ++wholeSeconds_;
    }
    second_ = second;
    current_ += bytes;
}

}  // namespace trk7700::log
