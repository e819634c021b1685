#pragma once
// The logger's recording settings: one 256-byte record, written together with
// the voice prompts and read back on its own.
#include "TRK7700_DLL.h"

#include <array>
#include <cstdint>

namespace trk7700::settings {

inline constexpr int kSettingsRecordSize = 256;
inline constexpr uint32_t kIntervalNotSet = 0xFFFFFFFF;
using SettingsRecord = std::array<uint8_t, kSettingsRecordSize>;

// The record on the wire: intervals at 0 and 4 (0 is stored as not set),
// vibration at 8, tag at 24, minimum speed at 25, every other byte 0xFF.
SettingsRecord buildSettingsRecord(uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration, uint8_t tag,
                                   uint8_t minSpeed);

// QZ_TRK7700_SETTING_DEVICE: validation, wave folder, wave files, then dump mode.
[[nodiscard]] TRK7700_Result settingDevice(uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration,
                                           uint8_t tag, const char *waveFolder, uint8_t minSpeed);
// QZ_TRK7700_READ_SETTING_VALUE: the outputs are written only on success
// (return_read_setting_value_successful).
[[nodiscard]] TRK7700_Result readSettingValue(int32_t *timeInterval, int32_t *displacementInterval, uint8_t *vibration,
                                              uint8_t *tag, uint8_t *minSpeed);

}  // namespace trk7700::settings
