#pragma once
// Stand-ins for the clock's seconds, for LinkState::testHooks.secondsSource:
// every tick-count wait of the library then ends in a fraction of the time.
// The fixture's TearDown puts the real clock back (resetLinkState).
#include <atomic>
#include <chrono>

namespace trk7700::testing {

// A clock whose "second" lasts 20 ms: a wait with limit L ends after about L * 20 ms
// of polling, or after L + 1 empty reads.
inline int fastSeconds()
{
    using namespace std::chrono;
    return static_cast<int>((steady_clock::now().time_since_epoch() / milliseconds(20)) % 60);
}

// A clock that shows a new second on every look, and counts the looks.
inline std::atomic<int> secondsLookups{0};
inline int countingSeconds() { return secondsLookups++ % 60; }

}  // namespace trk7700::testing
