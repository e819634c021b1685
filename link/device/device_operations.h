#pragma once
// Device information, GPS time and the firmware: reading the library's and
// the image's version, asking the logger, and the upgrade.
#include "TRK7700_DLL.h"

#include <cstdint>

namespace trk7700::device {

[[nodiscard]] TRK7700_Result readDllVersion(char *version);
[[nodiscard]] TRK7700_Result readDeviceInformation(int32_t *serialNumber, char *firmwareVersion);
[[nodiscard]] TRK7700_Result readGpsUtcTimeDate(uint8_t *hour, uint8_t *minute, uint8_t *second, uint8_t *year,
                                                uint8_t *month, uint8_t *day);
[[nodiscard]] TRK7700_Result firmwareUpgrade(const char *imageFolder);
[[nodiscard]] TRK7700_Result readBinFileFirmwareVersion(char *version, const char *imageFolder);

}  // namespace trk7700::device
