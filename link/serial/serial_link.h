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

// Drops whatever arrived and was not read: leftovers of an earlier reply.
void discardInput();

// Test seam: the read time-out in milliseconds (100 unless changed).
void setReadTimeoutForTesting(int milliseconds);
int readTimeoutMilliseconds();

// Test seam: a port that lives in memory, for feeding the library any reply
// at full speed. While one is set, openPort opens it for the COM numbers it
// accepts (and nothing else), readSome and writeAll go to it, and a read that
// finds nothing returns at once instead of after the read time-out.
class PortStandIn {
public:
    virtual ~PortStandIn() = default;
    virtual bool accepts(int comNumber) = 0;
    // Up to count bytes (count > 0); 0 when nothing is there.
    virtual int read(uint8_t *destination, int count) = 0;
    virtual bool write(const uint8_t *source, int count) = 0;
};
void setPortStandInForTesting(PortStandIn *standIn);  // nullptr: devices again

}  // namespace trk7700::serial
