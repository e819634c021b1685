#pragma once
// The library's one serial port: raw 8N1 at the caller's baud rate, no flow
// control, reads that end on the requested count or after 100 ms, writes that
// cannot hang. Every command and reply passes through the one IoBuffer.
#include <cstddef>
#include <cstdint>

namespace trk7700::serial {

constexpr int kIoBufferSize = 2048;
extern uint8_t ioBuffer[kIoBufferSize];

enum class OpenOutcome {
    opened,            // open, line settings applied
    cannotOpen,        // no device, in use, or COM number maps to nothing; no port open
    settingsRefused,   // the device opened but refused the line settings; still open
};

OpenOutcome openPort(int comNumber, int baudRate);
void closePort();  // harmless when no port is open
bool portIsOpen();

// One read of up to count bytes: returns once count bytes have arrived or the
// read time-out (100 ms) has passed since it began; 0 on time-out and on error.
int readSome(uint8_t *destination, int count);

// Pushes the whole buffer out; gives up (false) when the port reports an error
// or accepts nothing for one read time-out.
bool writeAll(const uint8_t *source, int count);

// Test seam: the read time-out in milliseconds (100 unless changed).
void setReadTimeoutForTesting(int milliseconds);
int readTimeoutMilliseconds();

}  // namespace trk7700::serial
