#include "serial/tick_count.h"

#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "serial/system_clock.h"

namespace trk7700::serial {

int utcSecondsNow()
{
    const SecondsSource source = linkState().testHooks.secondsSource;
    return source != nullptr ? source() : systemUtcSeconds();
}

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
