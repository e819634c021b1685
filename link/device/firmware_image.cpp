#include "device/firmware_image.h"

#include "TRK7700_DLL.h"
#include "dumpmode/image_upload.h"
#include "frame/file_system.h"
#include "frame/little_endian.h"
#include "frame/step_result.h"
#include "frame/work_folder.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace trk7700::device {
namespace {

uint16_t wordAt(const std::vector<uint8_t> &bytes, size_t offset) { return littleEndian16(&bytes[offset]); }

// Reads the file of the current directory into bytes. Fails with
// return_can_not_open_bin_file, return_bin_file_size_error or return_pc_not_enough_memory.
StepResult readImageFile(std::vector<uint8_t> &bytes)
{
    // Only a regular file: a link is not followed, a FIFO must not block.
    const frame::FileHandle file(frame::openRegularFile(kFirmwareFileName));
    if (!file) return return_can_not_open_bin_file;
    if (std::fseek(file.get(), 0, SEEK_END) != 0 || std::ftell(file.get()) != static_cast<long>(kFirmwareImageSize) ||
        std::fseek(file.get(), 0, SEEK_SET) != 0)
        return return_bin_file_size_error;
    try {
        bytes.assign(kFirmwareImageSize, 0);
    } catch (const std::bad_alloc &) {
        return return_pc_not_enough_memory;
    }
    // A file that shrank since it was measured is not the right size either.
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return return_bin_file_size_error;
    return kStepSucceeded;
}

uint16_t plainSum(const std::vector<uint8_t> &bytes)
{
    unsigned sum = 0;
    for (size_t i = 0; i < kScrambledAreaSize; ++i) sum += bytes[i];
    return static_cast<uint16_t>(sum);
}

}  // namespace

void unscramble(std::vector<uint8_t> &bytes, uint16_t startValue)
{
    for (int pass = 0; pass < 2; ++pass) {
        uint16_t previous = startValue;
        for (size_t offset = 0; offset < kScrambledAreaSize; offset += 2) {
            const uint16_t word = wordAt(bytes, offset);
            putLittleEndian16(&bytes[offset], static_cast<uint16_t>(word ^ previous));
            previous = word;
        }
    }
}

std::string versionText(unsigned major, unsigned minor) { return std::to_string(major) + "." + std::to_string(minor); }

StepResult loadFirmwareImage(const char *folder, FirmwareImage &image)
{
    std::vector<uint8_t> bytes;
    {
        const frame::WorkFolder work(folder, frame::FolderMode::folder);
        if (!work.entered()) return return_error_bin_file_path;
        if (const StepResult read = readImageFile(bytes); !read.ok()) return read;
    }
    // Checked as stored, before unscrambling.
    if (std::memcmp(bytes.data() + kIdentificationOffset, kIdentification, sizeof kIdentification) != 0)
        return return_not_correct_bin_file;
    const uint16_t checksum = wordAt(bytes, kChecksumOffset);
    unscramble(bytes, checksum);
    if (plainSum(bytes) != checksum) return return_bin_file_checksum_error;
    std::fill(bytes.begin() + kChecksumOffset, bytes.end(), 0);

    const uint8_t versionByte = bytes[kVersionOffset];
    image.version = versionText((versionByte >> 3) & 7, versionByte & 7);
    image.uploadChecksum = dumpmode::xorChecksum(bytes.data(), kUploadChecksumCoverage);
    image.plain = std::move(bytes);
    return kStepSucceeded;
}

}  // namespace trk7700::device
