#pragma once
// The logger talks only in its dump mode. Entering it: open the port, let the
// identification banner pass, send the greeting and expect the ready reply.
// Every later request is a 7-byte command frame.
#include "TRK7700_DLL.h"

#include <cstdint>

namespace trk7700::dumpmode {

// Protocol texts, sent or expected with their terminating NUL where noted;
// the logger knows them byte for byte.
inline constexpr char kBanner[] = "Ostravelle Tech. Co. TRK-7700\r\n";  // 31 bytes, no NUL
inline constexpr char kGreeting[] = "Q'Z Camera Detect";                // 18 with NUL
inline constexpr char kReadyReply[] = "QZ GPS+BT";                      // 10 with NUL
inline constexpr char kExitRequest[] = "QZ AP-Exit";                    // 11 with NUL
inline constexpr char kEndMarker[] = "QZ Update Over";                  // 15 with NUL
inline constexpr int kEndMarkerSize = 15;

struct Command {
    uint8_t code0;
    uint8_t code1;
};
// The logger's own command codes; the names are the protocol's, keep them.
inline constexpr Command CMD_DUMP_LOG{0x60, 0xB5};
inline constexpr Command CMD_ERASE_LOG{0x61, 0xB6};
inline constexpr Command CMD_READ_MEMORY_SIZE{0x63, 0xB7};
inline constexpr Command CMD_READ_SETTINGS{0x62, 0xB6};
inline constexpr Command CMD_UPLOAD_DATA{0x55, 0xAA};
inline constexpr Command CMD_UPLOAD_FIRMWARE{0x5D, 0xB2};
inline constexpr Command CMD_READ_DEVICE_INFO{0x5B, 0xB0};
inline constexpr Command CMD_READ_GPS_TIME{0x64, 0xB8};

inline constexpr int kBaudRate = 115200;

// Whether dump mode is on, the port the search found and the memory size are
// kept in LinkState::dumpMode.

// return_into_dump_mode_successful, return_can_not_open_com_port or
// return_into_dump_mode_fail; the search also sets LinkState::dumpMode.detectedPort.
[[nodiscard]] TRK7700_Result enterOnPort(uint8_t comNumber);
[[nodiscard]] TRK7700_Result enterByScan();
// Always return_exit_dump_mode.
TRK7700_Result leave();

// Ends dump mode without the exit request (after a firmware upgrade).
void dropConnection();

// Sends a 7-byte command frame through the IoBuffer after dropping unread
// leftovers of earlier replies; no acknowledgement. False when the port did
// not take it: then no reply can answer it, and the operation ends at once
// with its time-out result.
bool sendCommand(Command command, uint32_t argument = 0, uint8_t parameter = 0);

// Reads a reply whose end marker follows directly after its payload. The
// first `have` bytes of the reply are already at the start of the IoBuffer;
// reading goes on until the end marker has come after at most maxPayload
// bytes. Returns the payload's length, or -1 when the marker did not come
// before the tick count exceeded its limit or more bytes came before it: a
// reply shifted by stray bytes or cut short does not count.
int readUntilEndMarker(int have, int maxPayload, int tickLimit = 2);

// True when the end marker arrives whole before the tick count exceeds its
// limit, in pieces or behind stray bytes (the erase's reply is the marker alone).
bool waitEndMarker(int tickLimit = 2);

// After every device operation: a port that hung up during it is closed and
// dump mode ends (the next device call gives return_not_dump_mode, a new
// enter needs no exit first); after an operation that gave up waiting, the rest of its reply may
// still come and is kept from the next request.
void afterOperation(int32_t result);

// Asks the memory size; one of the four accepted sizes, 4 MiB when none came
// (at once when the request could not be sent).
int32_t queryMemorySize();  // also kept in LinkState::dumpMode.memorySize

bool isAcceptedMemorySize(uint32_t size);

}  // namespace trk7700::dumpmode
