#pragma once
#include <cstdint>

namespace trk7700::device {

int32_t readDllVersion(char *version);
int32_t readDeviceInformation(int32_t *serialNumber, char *firmwareVersion);
int32_t readGpsUtcTimeDate(uint8_t *hour, uint8_t *minute, uint8_t *second, uint8_t *year,
                           uint8_t *month, uint8_t *day);
int32_t firmwareUpgrade(const char *imageFolder);
int32_t readBinFileFirmwareVersion(char *version, const char *imageFolder);

}  // namespace trk7700::device
