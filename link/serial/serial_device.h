#pragma once
// The operating system's side of the one serial port: what differs between
// platforms and nothing more. serial_device_posix.cpp drives a terminal device
// through termios and poll(); serial_device_windows.cpp a COM port through the
// Win32 communications calls. Everything above (the IoBuffer, the hang-up
// rule, the test stand-in) is shared in serial_link.cpp.
#include <cstdint>
#include <memory>

namespace trk7700::serial {

// What the platform holds while a port is open: its handle and the line
// settings found at open. Each platform's file defines it; the one open port
// is kept in the library's state (LinkState::port). Dropping it closes the
// port without restoring anything.
struct OpenDevice;
struct OpenDeviceCloser {
    void operator()(OpenDevice *device) const;
};
using OpenDeviceSlot = std::unique_ptr<OpenDevice, OpenDeviceCloser>;

enum class OpenOutcome {
    opened,           // open, line settings applied
    cannotOpen,       // no device, in use, or COM number maps to nothing; no port open
    settingsRefused,  // the device opened but refused the line settings; still open
};

// What a read or a write found besides the bytes it moved.
enum class DeviceState {
    working,  // the port works; a read may still have found nothing
    gone,     // the port hung up or failed: nothing more will pass through it
};

struct DeviceRead {
    int count = 0;  // bytes placed in the destination
    DeviceState state = DeviceState::working;
};

// Opens COM<comNumber> exclusively with raw 8N1 at baudRate, no flow control,
// DTR and RTS raised. The line settings found at open are remembered so that
// closeDevice can put them back.
OpenOutcome openDevice(int comNumber, int baudRate);

// Releases the port; harmless when none is open. With restoreSettings the line
// settings found at open are applied again first (a port that turned out not
// to be the logger is left as it was found).
void closeDevice(bool restoreSettings);

bool deviceIsOpen();

// One read of up to count bytes: returns once count bytes have arrived, or
// timeoutMs after it began, or at once when the port is gone.
DeviceRead readDevice(uint8_t *destination, int count, int timeoutMs);

// Pushes the whole buffer out. working when all went out; gone when the port
// hung up or failed; a write that makes no progress for timeoutMs gives up
// and reports working (the missing reply ends the exchange).
bool writeDevice(const uint8_t *source, int count, int timeoutMs, DeviceState &state);

// Drops input that arrived and was not read.
void discardDeviceInput();

}  // namespace trk7700::serial
