// A serial port on Windows: COM<n> through the Win32 communications calls.
// The port is opened exclusively (no sharing), with fixed line settings and
// the library's 100 ms time-outs, and driven with synchronous ReadFile and
// WriteFile.
#include "serial/serial_device.h"

#include "frame/link_state.h"

#include <windows.h>

#include <cstdio>

namespace trk7700::serial {

struct OpenDevice {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB lineSettingsFoundAtOpen{};
    COMMTIMEOUTS timeoutsFoundAtOpen{};
    bool haveSettingsFoundAtOpen = false;
    int appliedReadTimeoutMs = 0;
};

void OpenDeviceCloser::operator()(OpenDevice *device) const
{
    CloseHandle(device->handle);
    delete device;
}

namespace {

OpenDevice *openedDevice() { return linkState().port.device.get(); }

DCB lineSettings(int baudRate)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDsrSensitivity = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    return dcb;
}

// A read ends when its bytes are in, 100 ms after it began, or 100 ms after a
// byte without another; a write attempt ends after at most 100 ms.
bool applyTimeouts(OpenDevice &device, int readTimeoutMs)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = static_cast<DWORD>(readTimeoutMs);
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(readTimeoutMs);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 100;
    if (!SetCommTimeouts(device.handle, &timeouts)) return false;
    device.appliedReadTimeoutMs = readTimeoutMs;
    return true;
}

}  // namespace

OpenOutcome openDevice(int comNumber, int baudRate)
{
    closeDevice(false);
    if (comNumber <= 0) return OpenOutcome::cannotOpen;
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", comNumber);
    const HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return OpenOutcome::cannotOpen;
    OpenDeviceSlot &slot = linkState().port.device;
    slot.reset(new OpenDevice);
    OpenDevice &device = *slot;
    device.handle = handle;
    device.haveSettingsFoundAtOpen = GetCommState(handle, &device.lineSettingsFoundAtOpen) != 0 &&
                                     GetCommTimeouts(handle, &device.timeoutsFoundAtOpen) != 0;
    // Without its time-outs a read could wait for ever: they count as part of
    // the line settings.
    if (!applyTimeouts(device, 100)) return OpenOutcome::settingsRefused;
    DCB dcb = lineSettings(baudRate);
    return SetCommState(handle, &dcb) ? OpenOutcome::opened : OpenOutcome::settingsRefused;
}

void closeDevice(bool restoreSettings)
{
    OpenDevice *device = openedDevice();
    if (device == nullptr) return;
    if (restoreSettings && device->haveSettingsFoundAtOpen) {
        // Bytes we wrote must not reach the device at the restored speed.
        (void)PurgeComm(device->handle, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
        (void)SetCommState(device->handle, &device->lineSettingsFoundAtOpen);
        (void)SetCommTimeouts(device->handle, &device->timeoutsFoundAtOpen);
    }
    linkState().port.device.reset();
}

bool deviceIsOpen() { return openedDevice() != nullptr; }

DeviceRead readDevice(uint8_t *destination, int count, int timeoutMs)
{
    DeviceRead result;
    OpenDevice *device = openedDevice();
    if (device == nullptr) {
        result.state = DeviceState::gone;
        return result;
    }
    if (count <= 0) return result;
    if (timeoutMs != device->appliedReadTimeoutMs && !applyTimeouts(*device, timeoutMs)) {
        result.state = DeviceState::gone;
        return result;
    }
    DWORD received = 0;
    // A port whose device vanished fails every read (access denied, bad
    // command, operation aborted); a read that merely timed out succeeds.
    if (!ReadFile(device->handle, destination, static_cast<DWORD>(count), &received, nullptr)) {
        result.state = DeviceState::gone;
        return result;
    }
    result.count = static_cast<int>(received);
    return result;
}

bool writeDevice(const uint8_t *source, int count, int timeoutMs, DeviceState &state)
{
    state = DeviceState::working;
    OpenDevice *device = openedDevice();
    if (device == nullptr) {
        state = DeviceState::gone;
        return false;
    }
    (void)timeoutMs;  // each attempt is bounded by the write time-out set at open
    int sent = 0;
    while (sent < count) {
        DWORD written = 0;
        if (!WriteFile(device->handle, source + sent, static_cast<DWORD>(count - sent), &written, nullptr)) {
            state = DeviceState::gone;
            return false;
        }
        if (written == 0) return false;  // no progress for a whole time-out
        sent += static_cast<int>(written);
    }
    return true;
}

void discardDeviceInput()
{
    if (OpenDevice *device = openedDevice(); device != nullptr) (void)PurgeComm(device->handle, PURGE_RXCLEAR);
}

}  // namespace trk7700::serial
