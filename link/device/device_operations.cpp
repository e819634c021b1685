#include "device/device_operations.h"

#include "dumpmode/dump_mode.h"

#include <cstring>

namespace trk7700::device {

int32_t readDllVersion(char *version)
{
    std::memcpy(version, "1.5", 4);
    return 21;
}

int32_t readDeviceInformation(int32_t *serialNumber, char *firmwareVersion)
{
    (void)serialNumber;
    (void)firmwareVersion;
    if (!dumpmode::inDumpMode) return 26;
    return 28;  // not built yet
}

int32_t readGpsUtcTimeDate(uint8_t *hour, uint8_t *minute, uint8_t *second, uint8_t *year,
                           uint8_t *month, uint8_t *day)
{
    (void)year;
    (void)month;
    (void)day;
    *hour = *minute = *second = 0xFF;
    if (!dumpmode::inDumpMode) return 26;
    return 38;  // not built yet
}

int32_t firmwareUpgrade(const char *imageFolder)
{
    (void)imageFolder;
    if (!dumpmode::inDumpMode) return 26;
    return 32;  // not built yet
}

int32_t readBinFileFirmwareVersion(char *version, const char *imageFolder)
{
    (void)version;
    (void)imageFolder;
    return 32;  // not built yet
}

}  // namespace trk7700::device
