#pragma once
// The library's one serial port: raw 8N1 at the caller's baud rate, no flow
// control, reads that end on the requested count or after 100 ms, writes that
// cannot hang. Every command and reply passes through the one IoBuffer.
//
// A port that hangs up (cable pulled, radio link lost) is noticed by the read
// or write that meets it: from then on the link counts as lost, reads and
// writes return at once, and every wait ends (TickCount), so that the running
// operation ends with its no-answer result instead of polling a dead port.
#include "serial/serial_device.h"

#include <cstddef>
#include <cstdint>

namespace trk7700::serial {

// The IoBuffer itself is LinkState::port.ioBuffer.
constexpr int kIoBufferSize = 2048;

OpenOutcome openPort(int comNumber, int baudRate);
void closePort();  // harmless when no port is open
// Closes a port that turned out not to be the logger, with the line settings
// it had when it was opened.
void closePortAsFound();
bool portIsOpen();

// True once the open port has hung up or failed: nothing more will come.
bool linkLost();

// One read of up to count bytes: returns once count bytes have arrived or the
// read time-out (100 ms) has passed since it began; at once when the link is
// lost. 0 on time-out and on error.
int readSome(uint8_t *destination, int count);

// Pushes the whole buffer out; gives up (false) when the port reports an error
// or accepts nothing for one read time-out.
bool writeAll(const uint8_t *source, int count);

// Drops whatever arrived and was not read: leftovers of an earlier reply. After
// an exchange that ended without its reply (see expectStragglers) it also waits
// until the line has been quiet for a moment, so that a reply that comes late
// cannot pass for the answer to the next request.
void discardInput();

// An exchange ended before its reply was complete: the rest may still come.
void expectStragglers();

// Reads and drops what arrives until the line has been quiet for quietMs (at
// most 2 s in all, for a device that streams on).
void drainUntilQuiet(int quietMs);

// The read time-out in milliseconds: 100 unless a test changes it
// (LinkState::testHooks).
int readTimeoutMilliseconds();

// Test seam (LinkState::testHooks): a port that lives in memory, for feeding
// the library any reply at full speed. While one is set, openPort opens it for
// the COM numbers it accepts (and nothing else), readSome and writeAll go to
// it, and a read that finds nothing returns at once instead of after the read
// time-out. Set it while no port is open.
class PortStandIn {
public:
    virtual ~PortStandIn() = default;
    virtual bool accepts(int comNumber) = 0;
    // Up to count bytes (count > 0); 0 when nothing is there.
    virtual int read(uint8_t *destination, int count) = 0;
    virtual bool write(const uint8_t *source, int count) = 0;
    // True once the stand-in plays a port that hung up.
    virtual bool hungUp() { return false; }
};

}  // namespace trk7700::serial
