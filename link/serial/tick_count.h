#pragma once
// The measure of time of every wait in the library: changes of the UTC clock's
// seconds value. A wait gives up once it has seen more changes than its limit,
// so a limit of L means between L-1 and L seconds (plus the empty reads). A
// wait also ends as soon as the port has hung up.
namespace trk7700::serial {

class TickCount {
public:
    explicit TickCount(int limit) : limit_(limit) {}
    // Call after each poll that did not end the wait; true once the limit is exceeded.
    bool expiredAfterPoll();
    bool expired() const { return ticks_ > limit_; }

private:
    int limit_;
    int lastSecond_ = 100;  // no clock shows it, so the first poll always counts
    int ticks_ = 0;
};

// The seconds field (0..59) of the UTC time of day.
int utcSecondsNow();

// Test seam (LinkState::testHooks): stands in for the clock's seconds.
using SecondsSource = int (*)();

}  // namespace trk7700::serial
