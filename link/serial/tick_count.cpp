#include "serial/tick_count.h"

#include "serial/serial_link.h"
#include "serial/system_clock.h"

namespace trk7700::serial {
namespace {
SecondsSource secondsSource = nullptr;
}

int utcSecondsNow()
{
    return secondsSource != nullptr ? secondsSource() : systemUtcSeconds();
}

void setSecondsSourceForTesting(SecondsSource source) { secondsSource = source; }

bool TickCount::expiredAfterPoll()
{
    // Nothing more can come through a port that hung up: every wait ends.
    if (linkLost()) return true;
    const int second = utcSecondsNow();
    if (second != lastSecond_) {
        ++ticks_;
        lastSecond_ = second;
    }
    return ticks_ > limit_;
}

}  // namespace trk7700::serial
