#include "settings/settings_operations.h"

#include "TRK7700_DLL.h"
#include "dumpmode/dump_mode.h"
#include "dumpmode/image_upload.h"
#include "frame/link_state.h"
#include "frame/little_endian.h"
#include "frame/step_result.h"
#include "frame/work_folder.h"
#include "serial/serial_link.h"
#include "settings/voice_prompts.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace trk7700::settings {
namespace {

constexpr uint32_t kMaxTimeInterval = 3600;
constexpr uint32_t kMaxDisplacementInterval = 3000;
constexpr uint8_t kMaxMinSpeed = 20;
// The logger's choice when neither interval is in force.
constexpr int32_t kDefaultDisplacementInterval = 50;

constexpr int kTimeIntervalOffset = 0;
constexpr int kDisplacementIntervalOffset = 4;
constexpr int kVibrationOffset = 8;
constexpr int kTagOffset = 24;
constexpr int kMinSpeedOffset = 25;

bool isSet(uint32_t interval) { return interval != 0 && interval != kIntervalNotSet; }

// The argument checks, in their order.
StepResult validate(uint32_t timeInterval, uint32_t displacementInterval, uint8_t minSpeed)
{
    if (isSet(timeInterval) && isSet(displacementInterval)) return return_setting_value_error;
    if (isSet(timeInterval) && timeInterval > kMaxTimeInterval) return return_timeInterval_over_3600second_error;
    if (isSet(displacementInterval) && displacementInterval > kMaxDisplacementInterval)
        return return_displacementinterval_over_3000meter_error;
    if (minSpeed > kMaxMinSpeed) return return_log_min_speed_over_20_knot_error;
    return kStepSucceeded;
}

TRK7700_Result uploadSettings(const SettingsRecord &record, const std::vector<uint8_t> &waveData)
{
    std::vector<uint8_t> image;
    try {
        image.resize(record.size() + waveData.size());
    } catch (const std::bad_alloc &) {
        return return_pc_not_enough_memory;
    }
    std::copy(waveData.begin(), waveData.end(), std::copy(record.begin(), record.end(), image.begin()));
    switch (
        dumpmode::uploadImage(dumpmode::CMD_UPLOAD_DATA, image, dumpmode::xorChecksum(image.data(), image.size()))) {
    case dumpmode::UploadVerdict::success: return return_setting_device_successful;
    case dumpmode::UploadVerdict::checksumError: return return_device_checksum_error;
    case dumpmode::UploadVerdict::noAnswer: break;
    }
    return return_device_time_out;
}

}  // namespace

SettingsRecord buildSettingsRecord(uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration, uint8_t tag,
                                   uint8_t minSpeed)
{
    SettingsRecord record;
    record.fill(0xFF);
    if (timeInterval != 0) putLittleEndian32(&record[kTimeIntervalOffset], timeInterval);
    if (displacementInterval != 0) putLittleEndian32(&record[kDisplacementIntervalOffset], displacementInterval);
    record[kVibrationOffset] = vibration;
    record[kTagOffset] = tag;
    record[kMinSpeedOffset] = minSpeed;
    return record;
}

TRK7700_Result settingDevice(uint32_t timeInterval, uint32_t displacementInterval, uint8_t vibration, uint8_t tag,
                             const char *waveFolder, uint8_t minSpeed)
{
    if (const StepResult checked = validate(timeInterval, displacementInterval, minSpeed); !checked.ok())
        return checked.failure();
    const SettingsRecord record = buildSettingsRecord(timeInterval, displacementInterval, vibration, tag, minSpeed);

    std::vector<uint8_t> waveData;
    {
        const frame::WorkFolder work(waveFolder, frame::FolderMode::folder);
        if (!work.entered()) return return_error_wave_file_path;
        if (const StepResult read = readWaveData(waveData); !read.ok()) return read.failure();
    }
    // The wave files are checked even without a logger; the logger only now.
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    dumpmode::queryMemorySize();
    return uploadSettings(record, waveData);
}

TRK7700_Result readSettingValue(int32_t *timeInterval, int32_t *displacementInterval, uint8_t *vibration, uint8_t *tag,
                                uint8_t *minSpeed)
{
    if (!linkState().dumpMode.inDumpMode) return return_not_dump_mode;
    if (!dumpmode::sendCommand(dumpmode::CMD_READ_SETTINGS)) return return_device_time_out;
    uint8_t *const ioBuffer = linkState().port.ioBuffer;
    const int first = serial::readSome(ioBuffer, kSettingsRecordSize);
    if (first <= 0) return return_device_time_out;
    // The record counts only when the end marker follows it directly; stray
    // bytes would shift every field.
    const int recordLength = dumpmode::readUntilEndMarker(first, kSettingsRecordSize);
    if (recordLength < 0) return return_device_time_out;
    // Bytes a short record leaves out read as "not in force".
    uint8_t reply[kSettingsRecordSize];
    std::memset(reply, 0xFF, sizeof reply);
    std::memcpy(reply, ioBuffer, static_cast<size_t>(recordLength));

    const uint32_t time = littleEndian32(reply + kTimeIntervalOffset);
    const uint32_t displacement = littleEndian32(reply + kDisplacementIntervalOffset);
    int32_t timeOut = -1;
    int32_t displacementOut = -1;
    if (time != kIntervalNotSet)
        timeOut = static_cast<int32_t>(time);
    else if (displacement != kIntervalNotSet)
        displacementOut = static_cast<int32_t>(displacement);
    else
        displacementOut = kDefaultDisplacementInterval;
    const uint8_t vibrationOut = reply[kVibrationOffset] != 0 ? 2 : 0;
    const uint8_t tagOut = reply[kTagOffset] == 0xFF ? 1 : reply[kTagOffset];
    const uint8_t minSpeedOut = reply[kMinSpeedOffset] == 0xFF ? 0 : reply[kMinSpeedOffset];

    if (timeInterval != nullptr) *timeInterval = timeOut;
    if (displacementInterval != nullptr) *displacementInterval = displacementOut;
    if (vibration != nullptr) *vibration = vibrationOut;
    if (tag != nullptr) *tag = tagOut;
    if (minSpeed != nullptr) *minSpeed = minSpeedOut;
    return return_read_setting_value_successful;
}

}  // namespace trk7700::settings
