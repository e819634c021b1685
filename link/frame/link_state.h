#pragma once
// Everything the library remembers from one call to the next, and the seams
// that tests turn, in one place. The library serves one logger on one port for
// the whole process, so there is exactly one LinkState (linkState()).
//
// Each group names the file that works with it. Nothing else in the library
// keeps mutable state of its own.
#include "dumpmode/image_upload.h"
#include "log/log_image.h"
#include "serial/serial_device.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"

#include <cstdint>
#include <cstdio>
#include <mutex>

namespace trk7700 {

struct LinkState {
    // Serialises the exported entry points: a second caller waits until the
    // first call has returned (exports.cpp).
    std::mutex callLock;

    // The one serial port (serial_link.cpp, serial_device_*.cpp).
    struct Port {
        serial::OpenDeviceSlot device;    // the operating system's open port; empty when none
        bool standInOpen = false;         // the test stand-in plays the open port
        bool lost = false;                // the open port hung up: nothing more passes through it
        bool stragglersExpected = false;  // an exchange ended before its whole reply came
        // Every command and reply passes through it.
        uint8_t ioBuffer[serial::kIoBufferSize] = {};
    } port;

    // The logger's dump mode (dump_mode.cpp).
    struct DumpMode {
        bool inDumpMode = false;
        int32_t detectedPort = 0;  // the COM number where the automatic search found the logger
        int32_t memorySize = 0;    // the log memory size asked last
    } dumpMode;

    // The opt-in transcript (trace.cpp); its own lock, for a test's thread may
    // write it outside the entry points.
    struct Transcript {
        FILE *file = nullptr;  // appended to; nullptr: tracing is off
        bool decided = false;  // TRK7700_TRACE was looked at (once, at the first use)
        long long size = 0;    // what the file holds, to stop at its bound
    } transcript;
    std::mutex transcriptLock;

    // Seams for the tests; each default is the real thing.
    struct TestHooks {
        int readTimeoutMs = 100;                          // one read's time-out
        serial::SecondsSource secondsSource = nullptr;    // the clock's seconds; nullptr: the system clock
        serial::PortStandIn *portStandIn = nullptr;       // a port in memory instead of the devices
        dumpmode::PieceObserver pieceObserver = nullptr;  // sees the size of every upload piece
    } testHooks;

    // The log image that ordering and export each fill whole from their input
    // file before they use it: scratch space, not carried from call to call
    // (log_image.cpp). 3,997,696 bytes, so it lives here and not on a stack.
    log::LogImage logImage;
};

LinkState &linkState();

// Puts the library back as it is when it is loaded: the port closed as it
// stands (no exit request is sent), dump mode off, the transcript closed, and
// every test seam at its default. For the tests, between one case and the next.
void resetLinkState();

}  // namespace trk7700
