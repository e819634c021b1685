#pragma once
// The link library bound at run time. libTRK7700_DLL.so (TRK7700_DLL.dll on
// Windows) is loaded by its file name on the first call of any entry point
// (the loader searches for it as usual: beside the executable through $ORIGIN,
// or under lib/ when installed; on Windows beside the executable, then on the
// search path); each entry point is looked up on its own first call and then
// reused. A library or entry point that cannot be found makes the call fail
// with a text that says so, never a crash; the next call tries again.
//
// Calls must not overlap (the library keeps one port and one buffer): callers
// make them from one thread, one after the other.
#include "TRK7700_DLL.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace trk7700::client {

#ifdef _WIN32
inline constexpr const char *kLibraryFileName = "TRK7700_DLL.dll";
#else
inline constexpr const char *kLibraryFileName = "libTRK7700_DLL.so";
#endif

// What a call through the binding gave.
struct LinkCall {
    int32_t result = 0;   // the library's result code when the call was made
    std::string failure;  // why the call could not be made; empty when it was
    bool made() const { return failure.empty(); }
};

// An output text of the library: a buffer of `length` blanks (plus a closing
// NUL of our own), read back up to the first NUL the library wrote.
class TextBuffer {
public:
    explicit TextBuffer(size_t length);
    char *data() { return bytes_.data(); }
    std::string text() const;

private:
    std::vector<char> bytes_;
};

class LibraryBinding {
public:
    explicit LibraryBinding(std::string fileName = kLibraryFileName);
    LibraryBinding(const LibraryBinding &) = delete;
    LibraryBinding &operator=(const LibraryBinding &) = delete;

    const std::string &fileName() const { return fileName_; }

    // Dump mode
    LinkCall intoDumpMode(int32_t comPort);
    LinkCall autoIntoDumpMode(int32_t &foundComPort);
    LinkCall exitDumpMode();
    // Log
    LinkCall dumpDb(int32_t comPort, const std::string &textFilePath);
    LinkCall eraseAllDb(int32_t comPort);
    // Settings
    LinkCall settingDevice(int32_t comPort, uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration,
                           uint8_t tag, const std::string &waveFolder, uint8_t minSpeed);
    LinkCall readSettingValue(int32_t comPort, int32_t &timeInterval, int32_t &displacementInterval, uint8_t &vibration,
                              uint8_t &tag, uint8_t &minSpeed);
    // Information and firmware
    LinkCall readDllVersion(TextBuffer &version);
    LinkCall readDeviceInformation(int32_t comPort, int32_t &serialNumber, TextBuffer &firmwareVersion);
    LinkCall readGpsUtcTimeDate(uint8_t &hour, uint8_t &minute, uint8_t &second, uint8_t &year, uint8_t &month,
                                uint8_t &day);
    LinkCall fwUpgrade(int32_t comPort, const std::string &imageFolder);
    LinkCall readBinFileFwVersion(TextBuffer &version, const std::string &imageFolder);

private:
    // The address of an entry point, or null with the reason in failure.
    void *resolve(const char *entryPoint, std::string &failure);

    // Calls the entry point of the given function type (taken from the header
    // with decltype, so that the library itself is never linked).
    template <typename Function, typename... Args>
    LinkCall call(const char *entryPoint, Args... args)
    {
        LinkCall outcome;
        void *address = resolve(entryPoint, outcome.failure);
        if (address == nullptr) return outcome;
        outcome.result = reinterpret_cast<Function *>(address)(args...);
        return outcome;
    }

    std::string fileName_;
    std::mutex mutex_;
    void *handle_ = nullptr;
    std::unordered_map<std::string, void *> entryPoints_;
};

}  // namespace trk7700::client
