// A firmware image file of any size and content through the image check. The
// first byte says how the rest becomes the file "TRK7700_Encode.Bin":
//   bit 0 clear: the file is the rest, of any size;
//   bit 0 set:   the rest cut or padded with zeros to 65,536 bytes, so that the
//                identification, unscrambling and checksum are reached;
//   bit 1 set:   (with bit 0) the identification text put in its place.
// The verdict is compared with the image's rules worked out on their own:
// unscrambled, word i is S[i] ^ S[i-2], word 1 is S[1] ^ K and word 0 is S[0].
#include "device/device_operations.h"
#include "device/firmware_image.h"
#include "fuzz_support.h"
#include "TRK7700_DLL.h"

#include <cstring>
#include <memory>
#include <vector>

using namespace trk7700;
using namespace trk7700::fuzzing;

namespace {

constexpr size_t kFileSize = 65536;
constexpr size_t kWords = 32760;
constexpr size_t kIdentificationAt = 65480;
constexpr size_t kChecksumAt = 65520;
constexpr size_t kVersionAt = 65409;
constexpr char kIdentification[] = "Gravel Ouzel Is Super Man ^-^";

uint16_t word(const std::vector<uint8_t> &bytes, size_t index)
{
    return static_cast<uint16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

std::vector<uint8_t> plainOf(const std::vector<uint8_t> &stored)
{
    const uint16_t k = word(stored, kChecksumAt / 2);
    std::vector<uint8_t> plain(kFileSize, 0);
    for (size_t i = 0; i < kWords; ++i) {
        uint16_t w = word(stored, i);
        if (i == 1) w ^= k;
        if (i >= 2) w ^= word(stored, i - 2);
        plain[2 * i] = static_cast<uint8_t>(w);
        plain[2 * i + 1] = static_cast<uint8_t>(w >> 8);
    }
    return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const uint8_t shape = data[0];
    std::vector<uint8_t> file(data + 1, data + size);
    if (shape & 1) {
        file.resize(kFileSize, 0);
        if (shape & 2) std::memcpy(file.data() + kIdentificationAt, kIdentification, sizeof kIdentification);
    }
    const auto folder = freshFolder("firmware");
    writeWhole(folder / device::kFirmwareFileName, file.data(), file.size());

    int expected = return_read_binfile_FW_version_successful;
    std::vector<uint8_t> plain;
    if (file.size() != kFileSize) {
        expected = return_bin_file_size_error;
    } else if (std::memcmp(file.data() + kIdentificationAt, kIdentification, sizeof kIdentification) != 0) {
        expected = return_not_correct_bin_file;
    } else {
        plain = plainOf(file);
        unsigned sum = 0;
        for (size_t i = 0; i < kChecksumAt; ++i) sum += plain[i];
        if (static_cast<uint16_t>(sum) != word(file, kChecksumAt / 2)) expected = return_bin_file_checksum_error;
    }

    // Exactly the room the caller promises, so that a longer text is caught.
    const auto version = std::make_unique<char[]>(4);
    const auto before = std::filesystem::current_path();
    const int32_t result = device::readBinFileFirmwareVersion(version.get(), folder.c_str());
    FUZZ_CHECK(result == expected);
    FUZZ_CHECK(std::filesystem::current_path() == before);
    if (result != return_read_binfile_FW_version_successful) return 0;

    const uint8_t versionByte = plain[kVersionAt];
    const char text[4] = {static_cast<char>('0' + ((versionByte >> 3) & 7)), '.',
                          static_cast<char>('0' + (versionByte & 7)), '\0'};
    FUZZ_CHECK(std::memcmp(version.get(), text, 4) == 0);

    device::FirmwareImage image;
    FUZZ_CHECK(device::loadFirmwareImage(folder.c_str(), image) == 1);
    std::fill(plain.begin() + kChecksumAt, plain.end(), 0);
    FUZZ_CHECK(image.plain == plain);
    uint8_t x = 0;
    for (size_t i = 0; i < 65408; ++i) x ^= plain[i];
    FUZZ_CHECK(image.uploadChecksum == x);
    return 0;
}
