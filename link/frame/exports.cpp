// The library's exported entry points: thin doors into the modules that own
// each operation. Arguments described as bytes keep only their low 8 bits.
//
// The library keeps one port, one buffer and one current directory for the
// whole process, so calls from several threads are taken one at a time: a
// second caller waits until the first call has returned.
#include "TRK7700_DLL.h"

#include "device/device_operations.h"
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "frame/trace.h"
#include "log/log_operations.h"
#include "settings/settings_operations.h"

#include <mutex>

namespace {

uint8_t lowByte(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }

std::mutex &callLock() { return trk7700::linkState().callLock; }

// A call that may talk to the logger: one at a time, and a port that hung up
// during it ends dump mode before the caller learns the result.
template <class Operation>
int32_t deviceCall(const char *name, Operation operation)
{
    const std::lock_guard<std::mutex> oneAtATime(callLock());
    const int32_t result = operation();
    trk7700::dumpmode::afterOperation(result);
    trk7700::trace::result(name, result);
    return result;
}

template <class Operation>
int32_t localCall(const char *name, Operation operation)
{
    const std::lock_guard<std::mutex> oneAtATime(callLock());
    const int32_t result = operation();
    trk7700::trace::result(name, result);
    return result;
}

}  // namespace

using namespace trk7700;

extern "C" {

int nTRK7700_DLL = 0;

int fnTRK7700_DLL(void) { return 42; }

int32_t TRK7700_STDCALL QZ_TRK7700_INTO_DUMP_MODE(int32_t comPortByte)
{
    return localCall("QZ_TRK7700_INTO_DUMP_MODE", [&] { return dumpmode::enterOnPort(lowByte(comPortByte)); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_AUTO_INTO_DUMP_MODE(int32_t *foundComPort)
{
    return localCall("QZ_TRK7700_AUTO_INTO_DUMP_MODE", [&] {
        const TRK7700_Result result = dumpmode::enterByScan();
        if (result == return_into_dump_mode_successful && foundComPort != nullptr)
            *foundComPort = linkState().dumpMode.detectedPort;
        return result;
    });
}

int32_t TRK7700_STDCALL QZ_TRK7700_EXIT_DUMP_MODE(void)
{
    return localCall("QZ_TRK7700_EXIT_DUMP_MODE", [] { return dumpmode::leave(); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_DUMP_DB(int32_t, const char *textFilePath)
{
    return deviceCall("QZ_TRK7700_DUMP_DB", [&] { return log::dumpDb(textFilePath); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_ERASE_All_DB(int32_t)
{
    return deviceCall("QZ_TRK7700_ERASE_All_DB", [] { return log::eraseAllDb(); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_SETTING_DEVICE(int32_t, uint32_t timeInterval, uint32_t displacementInterval,
                                                  int32_t vibrationByte, int32_t tagByte, const char *waveFolder,
                                                  int32_t minSpeedByte)
{
    return deviceCall("QZ_TRK7700_SETTING_DEVICE", [&] {
        return settings::settingDevice(timeInterval, displacementInterval, lowByte(vibrationByte), lowByte(tagByte),
                                       waveFolder, lowByte(minSpeedByte));
    });
}

int32_t TRK7700_STDCALL QZ_TRK7700_READ_SETTING_VALUE(int32_t, int32_t *timeInterval, int32_t *displacementInterval,
                                                      uint8_t *vibration, uint8_t *tag, uint8_t *minSpeed)
{
    return deviceCall("QZ_TRK7700_READ_SETTING_VALUE", [&] {
        return settings::readSettingValue(timeInterval, displacementInterval, vibration, tag, minSpeed);
    });
}

int32_t TRK7700_STDCALL QZ_TRK7700_READ_DLL_VERSION(char *version)
{
    return localCall("QZ_TRK7700_READ_DLL_VERSION", [&] { return device::readDllVersion(version); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_READ_DEVICE_INFORMATION(int32_t, int32_t *serialNumber, char *firmwareVersion)
{
    return deviceCall("QZ_TRK7700_READ_DEVICE_INFORMATION",
                      [&] { return device::readDeviceInformation(serialNumber, firmwareVersion); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_READ_GPS_UTC_TIME_DATE(uint8_t *hour, uint8_t *minute, uint8_t *second,
                                                          uint8_t *year, uint8_t *month, uint8_t *day)
{
    return deviceCall("QZ_TRK7700_READ_GPS_UTC_TIME_DATE",
                      [&] { return device::readGpsUtcTimeDate(hour, minute, second, year, month, day); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_FW_UPGRADE(int32_t, const char *imageFolder)
{
    return deviceCall("QZ_TRK7700_FW_UPGRADE", [&] { return device::firmwareUpgrade(imageFolder); });
}

int32_t TRK7700_STDCALL QZ_TRK7700_Read_BinFile_FW_Version(char *version, const char *imageFolder)
{
    return localCall("QZ_TRK7700_Read_BinFile_FW_Version",
                     [&] { return device::readBinFileFirmwareVersion(version, imageFolder); });
}

}  // extern "C"

CTRK7700_DLL::CTRK7700_DLL() = default;
CTRK7700_DLL &CTRK7700_DLL::operator=(const CTRK7700_DLL &) = default;
