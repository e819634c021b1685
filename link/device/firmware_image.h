#pragma once
// The firmware image file "TRK7700_Encode.Bin": 65,536 bytes, scrambled, with
// an identification text, a 16-bit checksum that is also the scrambling start
// value, and a version byte. The check turns it into the plain image that the
// logger receives.
#include "frame/step_result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trk7700::device {

inline constexpr char kFirmwareFileName[] = "TRK7700_Encode.Bin";
inline constexpr size_t kFirmwareImageSize = 65536;
inline constexpr size_t kScrambledAreaSize = 65520;  // 32,760 words, then the checksum word
inline constexpr size_t kChecksumOffset = 65520;
inline constexpr size_t kIdentificationOffset = 65480;
inline constexpr char kIdentification[] = "Gravel Ouzel Is Super Man ^-^";  // 30 with NUL, as the image holds it
inline constexpr size_t kVersionOffset = 65409;
inline constexpr size_t kUploadChecksumCoverage = 65408;

struct FirmwareImage {
    std::vector<uint8_t> plain;  // 65,536 bytes, the last 16 zero
    uint8_t uploadChecksum = 0;  // exclusive-or of the first 65,408 plain bytes
    std::string version;         // "major.minor"
};

// Enters the folder, checks "TRK7700_Encode.Bin" there and unscrambles it; the
// current directory is restored before it returns. Fails with
// return_error_bin_file_path (folder), return_can_not_open_bin_file,
// return_bin_file_size_error, return_pc_not_enough_memory,
// return_not_correct_bin_file (identification) or return_bin_file_checksum_error.
StepResult loadFirmwareImage(const char *folder, FirmwareImage &image);

// Two passes over the 32,760 little-endian words of the scrambled area, each
// from the start value K: every word W becomes W ^ P, and P becomes W.
void unscramble(std::vector<uint8_t> &bytes, uint16_t startValue);

// "major.minor" in decimal.
std::string versionText(unsigned major, unsigned minor);

}  // namespace trk7700::device
