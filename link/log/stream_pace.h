#pragma once
// The log stream may pause (a radio link stalls; each pause may last up to
// 10 s), but it may not trickle: a stream that stays far below the line rate
// for a minute (a logger that sends a byte now and then) would keep a
// readout going for days. StreamPace tells when it does.
#include <array>
#include <cstddef>

namespace trk7700::log {

// The line rate: 115200 baud, ten bits a byte.
inline constexpr size_t kLineBytesPerSecond = 11520;
// Far below it: under a tenth of it, over a whole minute.
inline constexpr int kTrickleWindowSeconds = 60;
inline constexpr size_t kTrickleBytesPerWindow = kLineBytesPerSecond / 10 * kTrickleWindowSeconds;

class StreamPace {
public:
    // After every read: the bytes it brought and the seconds value (0..59) of
    // a clock that only moves forward.
    void add(size_t bytes, int second);
    // True once the last kTrickleWindowSeconds whole seconds brought fewer
    // than kTrickleBytesPerWindow bytes together.
    bool trickling() const { return wholeSeconds_ >= kTrickleWindowSeconds && windowBytes_ < kTrickleBytesPerWindow; }

private:
    std::array<size_t, kTrickleWindowSeconds> perSecond_{};  // the whole seconds of the window, a ring
    size_t at_ = 0;                                          // where the next whole second goes
    size_t windowBytes_ = 0;                                 // their sum
    size_t current_ = 0;                                     // bytes of the second under way
    int second_ = -1;                                        // its seconds value; -1 before the first read
    int wholeSeconds_ = 0;                                   // whole seconds seen, up to the window
};

}  // namespace trk7700::log
