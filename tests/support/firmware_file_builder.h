#pragma once
// Builds firmware image files ("TRK7700_Encode.Bin") for tests: valid ones with
// any content and a chosen version byte, and broken ones. The scrambling is
// done here on its own, without the library's code.
//
// Stored file: 32,760 scrambled 16-bit words (least significant byte first),
// the identification text at 65,480 (as stored), the word K at 65,520, 14 spare
// bytes. Unscrambling runs two passes, each from K: W becomes W ^ P, P becomes
// the old W. Over both passes that makes plain[i] = S[i] ^ S[i-2] (words), with
// plain[0] = S[0] and plain[1] = S[1] ^ K; the plain bytes 0..65,519 add up to K.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace trk7700::testing {

enum class FirmwareFlaw { none, tooShort, tooLong, wrongIdentification, wrongChecksum };

struct FirmwareFile {
    std::vector<uint8_t> stored;  // the file's bytes
    std::vector<uint8_t> plain;   // what the logger must receive: 65,536 bytes, the last 16 zero
    uint16_t checksum = 0;        // K
};

inline constexpr size_t kFirmwareFileSize = 65536;
inline constexpr size_t kFirmwareVersionOffset = 65409;

// 65,520 bytes of made-up firmware.
inline std::vector<uint8_t> firmwareContent(uint32_t seed)
{
    std::vector<uint8_t> content(65520);
    uint32_t state = seed * 2654435761u + 1;
    for (auto &byte : content) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return content;
}

// content: the plain firmware, 65,520 bytes. The builder sets the version byte
// at 65,409 and owns the plain bytes 65,480..65,519 (they follow from the
// identification text and make the sum come out right).
inline FirmwareFile buildFirmwareFile(std::vector<uint8_t> content, uint8_t versionByte,
                                      FirmwareFlaw flaw = FirmwareFlaw::none)
{
    constexpr size_t kWords = 32760;
    constexpr size_t kIdentFirstWord = 65480 / 2;  // even, so its odd neighbour carries K
    constexpr size_t kIdentWords = 15;             // 29 characters and the zero byte
    constexpr size_t kFillerFirstWord = kIdentFirstWord + kIdentWords;
    constexpr char kIdentification[] = "Gravel Ouzel Is Super Man ^-^";
    static_assert(sizeof kIdentification == 2 * kIdentWords);
    if (content.size() != 2 * kWords) throw std::invalid_argument("firmware content must be 65,520 bytes");
    content[kFirmwareVersionOffset] = versionByte;

    std::vector<uint16_t> plain(kWords), stored(kWords);
    for (size_t i = 0; i < kWords; ++i) plain[i] = static_cast<uint16_t>(content[2 * i] | content[2 * i + 1] << 8);
    auto byteSum = [](uint16_t word) { return static_cast<uint32_t>((word & 0xFF) + (word >> 8)); };

    // The chain as if K were 0: K only flips the odd stored words.
    for (size_t i = 0; i < kIdentFirstWord; ++i)
        stored[i] = static_cast<uint16_t>(plain[i] ^ (i >= 2 ? stored[i - 2] : 0));
    for (size_t i = kIdentFirstWord; i < kFillerFirstWord; ++i) {
        const size_t at = 2 * (i - kIdentFirstWord);
        stored[i] = static_cast<uint16_t>(static_cast<uint8_t>(kIdentification[at]) |
                                          static_cast<uint8_t>(kIdentification[at + 1]) << 8);
        plain[i] = static_cast<uint16_t>(stored[i] ^ stored[i - 2]);
    }
    // So of all plain words only the one after the first identification word depends on K.
    constexpr size_t kWordWithK = kIdentFirstWord + 1;
    uint32_t sumWithoutK = 0;
    for (size_t i = 0; i < kFillerFirstWord; ++i)
        if (i != kWordWithK) sumWithoutK += byteSum(plain[i]);

    // K must be reachable by the ten filler bytes (0..2,550 added to the sum).
    for (uint32_t candidate = 0x5A17u + versionByte; candidate < 0x5A17u + versionByte + 0x10000; ++candidate) {
        const auto k = static_cast<uint16_t>(candidate);
        const uint32_t sum = sumWithoutK + byteSum(static_cast<uint16_t>(plain[kWordWithK] ^ k));
        const uint16_t target = flaw == FirmwareFlaw::wrongChecksum ? static_cast<uint16_t>(k + 1) : k;
        uint32_t filler = static_cast<uint16_t>(target - sum);
        if (filler > 10 * 255) continue;

        plain[kWordWithK] ^= k;
        for (size_t i = 1; i < kIdentFirstWord; i += 2) stored[i] ^= k;
        for (size_t i = kFillerFirstWord; i < kWords; ++i) {
            const uint32_t low = std::min<uint32_t>(filler, 255);
            const uint32_t high = std::min<uint32_t>(filler - low, 255);
            filler -= low + high;
            plain[i] = static_cast<uint16_t>(low | high << 8);
            stored[i] = static_cast<uint16_t>(plain[i] ^ stored[i - 2]);
        }

        FirmwareFile file;
        file.checksum = k;
        file.stored.assign(kFirmwareFileSize, 0xEE);  // the spare bytes are never sent
        file.plain.assign(kFirmwareFileSize, 0);
        for (size_t i = 0; i < kWords; ++i) {
            file.stored[2 * i] = static_cast<uint8_t>(stored[i]);
            file.stored[2 * i + 1] = static_cast<uint8_t>(stored[i] >> 8);
            file.plain[2 * i] = static_cast<uint8_t>(plain[i]);
            file.plain[2 * i + 1] = static_cast<uint8_t>(plain[i] >> 8);
        }
        file.stored[65520] = static_cast<uint8_t>(k);
        file.stored[65521] = static_cast<uint8_t>(k >> 8);
        switch (flaw) {
        case FirmwareFlaw::tooShort: file.stored.pop_back(); break;
        case FirmwareFlaw::tooLong: file.stored.push_back(0); break;
        case FirmwareFlaw::wrongIdentification: file.stored[65480 + 7] ^= 0x20; break;  // "ouzel"
        case FirmwareFlaw::none:
        case FirmwareFlaw::wrongChecksum: break;
        }
        return file;
    }
    throw std::logic_error("no start value fits this firmware content");
}

inline FirmwareFile buildFirmwareFile(uint8_t versionByte, FirmwareFlaw flaw = FirmwareFlaw::none, uint32_t seed = 1)
{
    return buildFirmwareFile(firmwareContent(seed), versionByte, flaw);
}

inline void writeFirmwareFile(const std::filesystem::path &folder, const FirmwareFile &file)
{
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / "TRK7700_Encode.Bin", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(file.stored.data()), static_cast<std::streamsize>(file.stored.size()));
    if (!out) throw std::runtime_error("cannot write the firmware file");
}

}  // namespace trk7700::testing
