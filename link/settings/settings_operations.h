#pragma once
#include <cstdint>

namespace trk7700::settings {

// QZ_TRK7700_SETTING_DEVICE: validation, wave folder, wave files, then dump mode.
int32_t settingDevice(uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration,
                      uint8_t tag, const char *waveFolder, uint8_t minSpeed);
// QZ_TRK7700_READ_SETTING_VALUE
int32_t readSettingValue(int32_t *timeInterval, int32_t *displacementInterval, uint8_t *vibration,
                         uint8_t *tag, uint8_t *minSpeed);

}  // namespace trk7700::settings
