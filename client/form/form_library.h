#pragma once
// The library as the form model sees it: the calls the window makes, with
// plain outputs. BoundLibrary passes them to the run-time binding; the model's
// tests put a fake in its place. The calls run on the executor's worker, one
// at a time.
#include "binding/library_binding.h"

#include <cstdint>
#include <memory>
#include <string>

namespace trk7700::form {

using client::LinkCall;

class FormLibrary {
public:
    virtual ~FormLibrary() = default;
    virtual LinkCall intoDumpMode(int32_t comPort) = 0;
    virtual LinkCall autoIntoDumpMode(int32_t &foundComPort) = 0;
    virtual LinkCall exitDumpMode() = 0;
    virtual LinkCall dumpDb(int32_t comPort, const std::string &textFilePath) = 0;
    virtual LinkCall eraseAllDb(int32_t comPort) = 0;
    virtual LinkCall settingDevice(int32_t comPort, uint32_t timeInterval, uint32_t displacementInterval,
                                   uint8_t vibration, uint8_t tag, const std::string &waveFolder, uint8_t minSpeed) = 0;
    virtual LinkCall readSettingValue(int32_t comPort, int32_t &timeInterval, int32_t &displacementInterval,
                                      uint8_t &vibration, uint8_t &tag, uint8_t &minSpeed) = 0;
    virtual LinkCall readDllVersion(std::string &version) = 0;
    virtual LinkCall readDeviceInformation(int32_t comPort, int32_t &serialNumber, std::string &firmwareVersion) = 0;
    virtual LinkCall readGpsUtcTimeDate(uint8_t &hour, uint8_t &minute, uint8_t &second, uint8_t &year, uint8_t &month,
                                        uint8_t &day) = 0;
    virtual LinkCall fwUpgrade(int32_t comPort, const std::string &imageFolder) = 0;
    virtual LinkCall readBinFileFwVersion(std::string &version, const std::string &imageFolder) = 0;

    // Why a port could not be opened, for the user (after the library gave up on it).
    virtual std::string portFailure(int comNumber) = 0;
    // No logger answered on any port: why not, for the port chosen in the
    // list (0: none chosen), else for the first port that has an entry.
    virtual std::string searchFailure(int selectedPort) = 0;
};

// The real library through the run-time binding, with the output buffers the
// window has always handed it (5, 8 and 11 blanks).
class BoundLibrary : public FormLibrary {
public:
    explicit BoundLibrary(client::LibraryBinding &binding) : binding_(binding) {}
    LinkCall intoDumpMode(int32_t comPort) override;
    LinkCall autoIntoDumpMode(int32_t &foundComPort) override;
    LinkCall exitDumpMode() override;
    LinkCall dumpDb(int32_t comPort, const std::string &textFilePath) override;
    LinkCall eraseAllDb(int32_t comPort) override;
    LinkCall settingDevice(int32_t comPort, uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration,
                           uint8_t tag, const std::string &waveFolder, uint8_t minSpeed) override;
    LinkCall readSettingValue(int32_t comPort, int32_t &timeInterval, int32_t &displacementInterval, uint8_t &vibration,
                              uint8_t &tag, uint8_t &minSpeed) override;
    LinkCall readDllVersion(std::string &version) override;
    LinkCall readDeviceInformation(int32_t comPort, int32_t &serialNumber, std::string &firmwareVersion) override;
    LinkCall readGpsUtcTimeDate(uint8_t &hour, uint8_t &minute, uint8_t &second, uint8_t &year, uint8_t &month,
                                uint8_t &day) override;
    LinkCall fwUpgrade(int32_t comPort, const std::string &imageFolder) override;
    LinkCall readBinFileFwVersion(std::string &version, const std::string &imageFolder) override;
    std::string portFailure(int comNumber) override;
    std::string searchFailure(int selectedPort) override;

private:
    client::LibraryBinding &binding_;
};

// The library loaded by its file name on first use, for a view's main().
std::unique_ptr<FormLibrary> makeBoundLibrary(const std::string &fileName = client::kLibraryFileName);

}  // namespace trk7700::form
