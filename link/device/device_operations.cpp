#include "device/device_operations.h"

#include "TRK7700_DLL.h"
#include "device/firmware_image.h"
#include "dumpmode/dump_mode.h"
#include "dumpmode/image_upload.h"
#include "frame/link_state.h"
#include "frame/little_endian.h"
#include "frame/step_result.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace trk7700::device {
namespace {

constexpr char kDllVersion[] = "1.5";

constexpr int kInformationReplySize = 72;
constexpr int kInformationTrailerSize = 16;
constexpr int kInformationVersionByte = 1;
constexpr int kInformationSecondVersionByte = 2;
constexpr int kInformationSerialOffset = 4;
constexpr int kInformationBytesNeeded = kInformationSerialOffset + 4;

constexpr int kGpsReplySize = 16;
constexpr int kGpsBytesNeeded = 6;  // hour, minute, second, year, month, day
constexpr int kGpsTickLimit = 2;
constexpr uint8_t kNoInformation = 0xFF;

void copyText(char *destination, const std::string &text) { std::memcpy(destination, text.c_str(), text.size() + 1); }

}  // namespace

TRK7700_Result readDllVersion(char *version)
{
    if (version != nullptr) std::memcpy(version, kDllVersion, sizeof kDllVersion);
    return return_read_dll_version_successful;
}

TRK7700_Result readDeviceInformation(int32_t *serialNumber, char *firmwareVersion)
{
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    if (!dumpmode::sendCommand(dumpmode::CMD_READ_DEVICE_INFO)) return return_device_information_no_answer;
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    std::memset(ioBuffer, kNoInformation, kInformationReplySize);
    const int received = serial::readSome(ioBuffer, kInformationReplySize);
    if (received <= 0) return return_device_information_no_answer;
    // The rest of the reply is read in either case, so that it cannot pass for
    // the answer to the next command. The information counts only when the
    // marker follows its trailer directly: stray bytes would shift every field.
    const int replyLength = dumpmode::readUntilEndMarker(received, kInformationReplySize + kInformationTrailerSize);
    const int known = replyLength >= 0 ? std::min(replyLength, kInformationReplySize) : received;
    // A reply too short to hold the serial number carries no information either.
    if (known < kInformationBytesNeeded || ioBuffer[kInformationVersionByte] == kNoInformation ||
        ioBuffer[kInformationSecondVersionByte] == kNoInformation)
        return return_device_information_invalid;
    if (replyLength < 0) return return_device_time_out;

    const uint8_t versionByte = ioBuffer[kInformationVersionByte];
    const std::string version = versionText(versionByte >> 3, versionByte & 7);
    const uint32_t serial = littleEndian32(ioBuffer + kInformationSerialOffset);

    if (serialNumber != nullptr) *serialNumber = static_cast<int32_t>(serial);
    if (firmwareVersion != nullptr) copyText(firmwareVersion, version);
    return return_read_device_information_successful;
}

TRK7700_Result readGpsUtcTimeDate(uint8_t *hour, uint8_t *minute, uint8_t *second, uint8_t *year, uint8_t *month,
                                  uint8_t *day)
{
    for (uint8_t *invalid : {hour, minute, second})
        if (invalid != nullptr) *invalid = 0xFF;
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    if (!dumpmode::sendCommand(dumpmode::CMD_READ_GPS_TIME)) return return_read_gps_utc_time_invalid;

    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    serial::TickCount ticks(kGpsTickLimit);
    for (;;) {
        std::memset(ioBuffer, 0xFF, kGpsReplySize);
        const int received = serial::readSome(ioBuffer, kGpsReplySize);
        if (received > 0) {
            // No time yet, or a reply too short to carry the date as well.
            if (received < kGpsBytesNeeded || ioBuffer[0] == 0xFF || ioBuffer[1] == 0xFF || ioBuffer[2] == 0xFF)
                return return_read_gps_utc_time_invalid;
            uint8_t *const outputs[] = {hour, minute, second, year, month, day};
            for (int i = 0; i < kGpsBytesNeeded; ++i)
                if (outputs[i] != nullptr) *outputs[i] = ioBuffer[i];
            return return_read_gps_utc_time_successful;
        }
        if (ticks.expiredAfterPoll()) return return_read_gps_utc_time_invalid;
    }
}

TRK7700_Result firmwareUpgrade(const char *imageFolder)
{
    // Unlike the settings write, the logger is asked for before any file work.
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    FirmwareImage image;
    if (const StepResult loaded = loadFirmwareImage(imageFolder, image); !loaded.ok()) return loaded.failure();
    switch (dumpmode::uploadImage(dumpmode::CMD_UPLOAD_FIRMWARE, image.plain, image.uploadChecksum,
                                  dumpmode::AfterEndMarker::settle)) {
    case dumpmode::UploadVerdict::checksumError: return return_device_checksum_error;
    case dumpmode::UploadVerdict::noAnswer: return return_device_time_out;
    case dumpmode::UploadVerdict::success: break;
    }
    // The logger restarts with its new firmware: no exit request, and a new
    // connection is needed for anything further.
    dumpmode::dropConnection();
    return return_upgrade_firmware_successful;
}

TRK7700_Result readBinFileFirmwareVersion(char *version, const char *imageFolder)
{
    FirmwareImage image;
    if (const StepResult loaded = loadFirmwareImage(imageFolder, image); !loaded.ok()) return loaded.failure();
    if (version != nullptr) {
        std::memset(version, 0, 4);
        copyText(version, image.version);
    }
    return return_read_binfile_FW_version_successful;
}

}  // namespace trk7700::device
