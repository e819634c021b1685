#pragma once
// Multi-byte values on the wire, in the log and in the firmware image are
// least significant byte first.
#include <cstdint>

namespace trk7700 {

inline uint16_t littleEndian16(const uint8_t *at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

inline uint32_t littleEndian32(const uint8_t *at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

inline void putLittleEndian16(uint8_t *at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void putLittleEndian32(uint8_t *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace trk7700
