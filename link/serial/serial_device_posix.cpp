// A serial port on a POSIX system: the COM number maps to a terminal device
// (port_map.cpp), opened exclusively and driven in raw mode with poll().
#include "serial/serial_device.h"

#include "frame/link_state.h"
#include "serial/port_map.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace trk7700::serial {

struct OpenDevice {
    int fd = -1;
    termios settingsFoundAtOpen{};
    bool haveSettingsFoundAtOpen = false;
};

void OpenDeviceCloser::operator()(OpenDevice *device) const
{
    (void)ioctl(device->fd, TIOCNXCL);
    ::close(device->fd);  // also drops the advisory lock
    delete device;
}

namespace {

OpenDevice *openedDevice() { return linkState().port.device.get(); }

// The open port's descriptor, or -1.
int openDescriptor() { return openedDevice() != nullptr ? openedDevice()->fd : -1; }

using Clock = std::chrono::steady_clock;

speed_t speedFor(int baudRate)
{
    switch (baudRate) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

bool applyLineSettings(OpenDevice &device, int baudRate)
{
    const int fd = device.fd;
    const speed_t speed = speedFor(baudRate);
    termios tio{};
    if (speed == B0 || tcgetattr(fd, &tio) != 0) return false;
    device.settingsFoundAtOpen = tio;
    device.haveSettingsFoundAtOpen = true;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return false;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    // Raise DTR and RTS where the device has modem lines; pseudo-terminals and
    // some virtual ports have none, which is no reason to fail.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &lines);
    return true;
}

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) + 1 : 0;
}

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

OpenOutcome openDevice(int comNumber, int baudRate)
{
    closeDevice(false);
    const std::string path = resolvePortPath(comNumber);
    if (path.empty()) return OpenOutcome::cannotOpen;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return OpenOutcome::cannotOpen;
    // Exclusive like a COM port: TIOCEXCL keeps other openers out, the advisory
    // lock keeps out a second program even when it runs as root.
    if (!isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return OpenOutcome::cannotOpen;
    }
    OpenDeviceSlot &slot = linkState().port.device;
    slot.reset(new OpenDevice);
    slot->fd = fd;
    return applyLineSettings(*slot, baudRate) ? OpenOutcome::opened : OpenOutcome::settingsRefused;
}

void closeDevice(bool restoreSettings)
{
    OpenDevice *device = openedDevice();
    if (device == nullptr) return;
    if (restoreSettings && device->haveSettingsFoundAtOpen) {
        // Bytes we wrote must not reach the device at the restored speed.
        (void)tcflush(device->fd, TCIOFLUSH);
        (void)tcsetattr(device->fd, TCSANOW, &device->settingsFoundAtOpen);
    }
    linkState().port.device.reset();
}

bool deviceIsOpen() { return openedDevice() != nullptr; }

DeviceRead readDevice(uint8_t *destination, int count, int timeoutMs)
{
    DeviceRead result;
    const int portFd = openDescriptor();
    if (portFd < 0) {
        result.state = DeviceState::gone;
        return result;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (result.count < count) {
        const ssize_t n = ::read(portFd, destination + result.count, static_cast<size_t>(count - result.count));
        if (n > 0) {
            result.count += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            result.state = DeviceState::gone;  // EIO after a hang-up, ENXIO after unplugging
            return result;
        }
        // A raw terminal without VMIN/VTIME answers 0 both when nothing is
        // there and after a hang-up; poll tells the two apart.
        const int wait = millisecondsUntil(deadline);
        pollfd pfd{portFd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (ready > 0 && (pfd.revents & kHangUpEvents) != 0)) {
            // Whatever was still buffered comes first; then the port is gone.
            const ssize_t last = ::read(portFd, destination + result.count, static_cast<size_t>(count - result.count));
            if (last > 0) {
                result.count += static_cast<int>(last);
                continue;
            }
            result.state = DeviceState::gone;
            return result;
        }
        if (ready == 0) return result;  // the time-out passed with nothing more
    }
    return result;
}

bool writeDevice(const uint8_t *source, int count, int timeoutMs, DeviceState &state)
{
    state = DeviceState::working;
    const int portFd = openDescriptor();
    if (portFd < 0) {
        state = DeviceState::gone;
        return false;
    }
    int sent = 0;
    while (sent < count) {
        const ssize_t n = ::write(portFd, source + sent, static_cast<size_t>(count - sent));
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            state = DeviceState::gone;
            return false;
        }
        pollfd pfd{portFd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready == 0) return false;  // no progress for a whole time-out
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (pfd.revents & kHangUpEvents) != 0) {
            state = DeviceState::gone;
            return false;
        }
    }
    return true;
}

void discardDeviceInput()
{
    if (deviceIsOpen()) (void)tcflush(openDescriptor(), TCIFLUSH);
}

}  // namespace trk7700::serial
