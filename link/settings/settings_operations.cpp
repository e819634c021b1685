#include "settings/settings_operations.h"

#include "dumpmode/dump_mode.h"

namespace trk7700::settings {
namespace {

constexpr uint32_t kNotSet = 0xFFFFFFFF;

bool isSet(uint32_t interval) { return interval != 0 && interval != kNotSet; }

// The argument checks, in their order; 1 when all pass.
int32_t validate(uint32_t timeInterval, uint32_t displacementInterval, uint8_t minSpeed)
{
    if (isSet(timeInterval) && isSet(displacementInterval)) return 15;
    if (isSet(timeInterval) && timeInterval > 3600) return 19;
    if (isSet(displacementInterval) && displacementInterval > 3000) return 20;
    if (minSpeed > 20) return 30;
    return 1;
}

}  // namespace

int32_t settingDevice(uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration,
                      uint8_t tag, const char *waveFolder, uint8_t minSpeed)
{
    (void)vibration;
    (void)tag;
    (void)waveFolder;
    if (const int32_t checked = validate(timeInterval, displacementInterval, minSpeed); checked != 1)
        return checked;
    if (!dumpmode::inDumpMode) return 26;
    return 12;  // upload not built yet
}

int32_t readSettingValue(int32_t *timeInterval, int32_t *displacementInterval, uint8_t *vibration,
                         uint8_t *tag, uint8_t *minSpeed)
{
    (void)timeInterval;
    (void)displacementInterval;
    (void)vibration;
    (void)tag;
    (void)minSpeed;
    if (!dumpmode::inDumpMode) return 26;
    return 12;  // read-back not built yet
}

}  // namespace trk7700::settings
