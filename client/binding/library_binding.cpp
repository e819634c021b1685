#include "binding/library_binding.h"

#include "binding/library_loader.h"

#include <algorithm>
#include <utility>

namespace trk7700::client {

TextBuffer::TextBuffer(size_t length) : bytes_(length + 1, ' ') { bytes_.back() = '\0'; }

std::string TextBuffer::text() const
{
    const auto nul = std::find(bytes_.begin(), bytes_.end(), '\0');
    return std::string(bytes_.begin(), nul);
}

LibraryBinding::LibraryBinding(std::string fileName) : fileName_(std::move(fileName)) {}

// The library stays loaded for the life of the process: its state (the open
// port, dump mode) must outlive every single call.
void *LibraryBinding::resolve(const char *entryPoint, std::string &failure)
{
    const std::lock_guard lock(mutex_);
    const auto known = entryPoints_.find(entryPoint);
    if (known != entryPoints_.end()) return known->second;

    if (handle_ == nullptr) {
        handle_ = loadLibrary(fileName_, failure);
        if (handle_ == nullptr) return nullptr;
    }
    void *address = findEntryPoint(handle_, entryPoint);
    if (address == nullptr) {
        failure = fileName_ + " has no entry point " + entryPoint + ".";
        return nullptr;
    }
    entryPoints_.emplace(entryPoint, address);
    return address;
}

#define TRK7700_CALL(function, ...) call<decltype(function)>(#function __VA_OPT__(, ) __VA_ARGS__)

LinkCall LibraryBinding::intoDumpMode(int32_t comPort) { return TRK7700_CALL(QZ_TRK7700_INTO_DUMP_MODE, comPort); }

LinkCall LibraryBinding::autoIntoDumpMode(int32_t &foundComPort)
{
    return TRK7700_CALL(QZ_TRK7700_AUTO_INTO_DUMP_MODE, &foundComPort);
}

LinkCall LibraryBinding::exitDumpMode() { return TRK7700_CALL(QZ_TRK7700_EXIT_DUMP_MODE); }

LinkCall LibraryBinding::dumpDb(int32_t comPort, const std::string &textFilePath)
{
    return TRK7700_CALL(QZ_TRK7700_DUMP_DB, comPort, textFilePath.c_str());
}

LinkCall LibraryBinding::eraseAllDb(int32_t comPort) { return TRK7700_CALL(QZ_TRK7700_ERASE_All_DB, comPort); }

LinkCall LibraryBinding::settingDevice(int32_t comPort, uint32_t timeInterval, uint32_t displacementInterval,
                                       uint8_t vibration, uint8_t tag, const std::string &waveFolder, uint8_t minSpeed)
{
    return TRK7700_CALL(QZ_TRK7700_SETTING_DEVICE, comPort, timeInterval, displacementInterval, int32_t{vibration},
                        int32_t{tag}, waveFolder.c_str(), int32_t{minSpeed});
}

LinkCall LibraryBinding::readSettingValue(int32_t comPort, int32_t &timeInterval, int32_t &displacementInterval,
                                          uint8_t &vibration, uint8_t &tag, uint8_t &minSpeed)
{
    return TRK7700_CALL(QZ_TRK7700_READ_SETTING_VALUE, comPort, &timeInterval, &displacementInterval, &vibration, &tag,
                        &minSpeed);
}

LinkCall LibraryBinding::readDllVersion(TextBuffer &version)
{
    return TRK7700_CALL(QZ_TRK7700_READ_DLL_VERSION, version.data());
}

LinkCall LibraryBinding::readDeviceInformation(int32_t comPort, int32_t &serialNumber, TextBuffer &firmwareVersion)
{
    return TRK7700_CALL(QZ_TRK7700_READ_DEVICE_INFORMATION, comPort, &serialNumber, firmwareVersion.data());
}

LinkCall LibraryBinding::readGpsUtcTimeDate(uint8_t &hour, uint8_t &minute, uint8_t &second, uint8_t &year,
                                            uint8_t &month, uint8_t &day)
{
    return TRK7700_CALL(QZ_TRK7700_READ_GPS_UTC_TIME_DATE, &hour, &minute, &second, &year, &month, &day);
}

LinkCall LibraryBinding::fwUpgrade(int32_t comPort, const std::string &imageFolder)
{
    return TRK7700_CALL(QZ_TRK7700_FW_UPGRADE, comPort, imageFolder.c_str());
}

LinkCall LibraryBinding::readBinFileFwVersion(TextBuffer &version, const std::string &imageFolder)
{
    return TRK7700_CALL(QZ_TRK7700_Read_BinFile_FW_Version, version.data(), imageFolder.c_str());
}

#undef TRK7700_CALL

}  // namespace trk7700::client
