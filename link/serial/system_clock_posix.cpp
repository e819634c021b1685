#include "serial/system_clock.h"

#include <ctime>

namespace trk7700::serial {

int systemUtcSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int>(now.tv_sec % 60);
}

}  // namespace trk7700::serial
