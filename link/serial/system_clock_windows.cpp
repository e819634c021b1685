#include "serial/system_clock.h"

#include <windows.h>

namespace trk7700::serial {

int systemUtcSeconds()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return now.wSecond;
}

}  // namespace trk7700::serial
