#include "serial/tick_count.h"

#include <ctime>

namespace trk7700::serial {
namespace {
SecondsSource secondsSource = nullptr;
}

int utcSecondsNow()
{
    if (secondsSource != nullptr) return secondsSource();
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int>(now.tv_sec % 60);
}

void setSecondsSourceForTesting(SecondsSource source) { secondsSource = source; }

bool TickCount::expiredAfterPoll()
{
    const int second = utcSecondsNow();
    if (second != lastSecond_) {
        ++ticks_;
        lastSecond_ = second;
    }
    return ticks_ > limit_;
}

}  // namespace trk7700::serial
