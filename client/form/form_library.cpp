#include "form_library.h"

#include "form_port_words.h"
#include "form_system.h"

namespace trk7700::form {

namespace {

// Lengths of the output buffers, in blanks.
constexpr size_t kFirmwareVersionLength = 8;
constexpr size_t kImageVersionLength = 11;
constexpr size_t kLibraryVersionLength = 5;
constexpr int kHighestSearchedPort = 256;  // the automatic search tries COM0 to COM256

}  // namespace

LinkCall BoundLibrary::intoDumpMode(int32_t comPort) { return binding_.intoDumpMode(comPort); }
LinkCall BoundLibrary::autoIntoDumpMode(int32_t &foundComPort) { return binding_.autoIntoDumpMode(foundComPort); }
LinkCall BoundLibrary::exitDumpMode() { return binding_.exitDumpMode(); }
LinkCall BoundLibrary::dumpDb(int32_t comPort, const std::string &path) { return binding_.dumpDb(comPort, path); }
LinkCall BoundLibrary::eraseAllDb(int32_t comPort) { return binding_.eraseAllDb(comPort); }

LinkCall BoundLibrary::settingDevice(int32_t comPort, uint32_t timeInterval, uint32_t displacementInterval,
                                     uint8_t vibration, uint8_t tag, const std::string &waveFolder, uint8_t minSpeed)
{
    return binding_.settingDevice(comPort, timeInterval, displacementInterval, vibration, tag, waveFolder, minSpeed);
}

LinkCall BoundLibrary::readSettingValue(int32_t comPort, int32_t &timeInterval, int32_t &displacementInterval,
                                        uint8_t &vibration, uint8_t &tag, uint8_t &minSpeed)
{
    return binding_.readSettingValue(comPort, timeInterval, displacementInterval, vibration, tag, minSpeed);
}

LinkCall BoundLibrary::readDllVersion(std::string &version)
{
    client::TextBuffer buffer(kLibraryVersionLength);
    const LinkCall call = binding_.readDllVersion(buffer);
    version = buffer.text();
    return call;
}

LinkCall BoundLibrary::readDeviceInformation(int32_t comPort, int32_t &serialNumber, std::string &firmwareVersion)
{
    client::TextBuffer buffer(kFirmwareVersionLength);
    const LinkCall call = binding_.readDeviceInformation(comPort, serialNumber, buffer);
    firmwareVersion = buffer.text();
    return call;
}

LinkCall BoundLibrary::readGpsUtcTimeDate(uint8_t &hour, uint8_t &minute, uint8_t &second, uint8_t &year,
                                          uint8_t &month, uint8_t &day)
{
    return binding_.readGpsUtcTimeDate(hour, minute, second, year, month, day);
}

LinkCall BoundLibrary::fwUpgrade(int32_t comPort, const std::string &imageFolder)
{
    return binding_.fwUpgrade(comPort, imageFolder);
}

LinkCall BoundLibrary::readBinFileFwVersion(std::string &version, const std::string &imageFolder)
{
    client::TextBuffer buffer(kImageVersionLength);
    const LinkCall call = binding_.readBinFileFwVersion(buffer, imageFolder);
    version = buffer.text();
    return call;
}

namespace {

// The binding with the library it owns.
class OwnedLibrary : public BoundLibrary {
public:
    explicit OwnedLibrary(std::unique_ptr<client::LibraryBinding> binding)
        : BoundLibrary(*binding), binding_(std::move(binding))
    {
    }

private:
    std::unique_ptr<client::LibraryBinding> binding_;
};

}  // namespace

std::unique_ptr<FormLibrary> makeBoundLibrary(const std::string &fileName)
{
    return std::make_unique<OwnedLibrary>(std::make_unique<client::LibraryBinding>(fileName));
}

std::string BoundLibrary::portFailure(int comNumber) { return portFailureWords(client::diagnosePort(comNumber)); }

std::string BoundLibrary::searchFailure(int selectedPort)
{
    int port = selectedPort > 0 ? selectedPort : firstPortWithEntry(kHighestSearchedPort);
    return portFailureWords(client::diagnosePort(port < 1 ? 1 : port));
}

}  // namespace trk7700::form
