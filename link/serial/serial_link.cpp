#include "serial/serial_link.h"

#include "serial/port_map.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace trk7700::serial {

uint8_t ioBuffer[kIoBufferSize];

namespace {

int portFd = -1;
int readTimeoutMs = 100;
PortStandIn *standIn = nullptr;
bool standInOpen = false;

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

bool applyLineSettings(int fd, int baudRate)
{
    const speed_t speed = speedFor(baudRate);
    termios tio {};
    if (speed == B0 || tcgetattr(fd, &tio) != 0) return false;
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

}  // namespace

OpenOutcome openPort(int comNumber, int baudRate)
{
    closePort();
    if (standIn != nullptr) {
        standInOpen = standIn->accepts(comNumber);
        return standInOpen ? OpenOutcome::opened : OpenOutcome::cannotOpen;
    }
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
    portFd = fd;
    return applyLineSettings(fd, baudRate) ? OpenOutcome::opened : OpenOutcome::settingsRefused;
}

void closePort()
{
    standInOpen = false;
    if (portFd < 0) return;
    (void)ioctl(portFd, TIOCNXCL);
    ::close(portFd);  // also drops the advisory lock
    portFd = -1;
}

bool portIsOpen() { return portFd >= 0 || standInOpen; }

int readSome(uint8_t *destination, int count)
{
    if (standInOpen) return count > 0 ? std::clamp(standIn->read(destination, count), 0, count) : 0;
    if (portFd < 0 || count <= 0) {
        if (portFd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(readTimeoutMs));
        return 0;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs);
    int received = 0;
    for (;;) {
        const ssize_t n = ::read(portFd, destination + received, static_cast<size_t>(count - received));
        if (n > 0) {
            received += static_cast<int>(n);
            if (received >= count) return received;
            continue;
        }
        // A raw terminal without VMIN/VTIME answers 0 when nothing is there.
        const bool broken = n < 0 && errno != EAGAIN && errno != EINTR;
        const auto now = Clock::now();
        if (now >= deadline) return received;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        if (broken) {
            // A hung-up or failed port delivers nothing more; wait out the
            // time-out so that the callers' loops keep their pace.
            std::this_thread::sleep_until(deadline);
            return received;
        }
        pollfd pfd {portFd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left));
        if ((ready < 0 && errno != EINTR) ||
            (ready > 0 && (pfd.revents & POLLIN) == 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)) {
            std::this_thread::sleep_until(deadline);
            return received;
        }
    }
}

bool writeAll(const uint8_t *source, int count)
{
    if (count <= 0) return true;
    if (standInOpen) return standIn->write(source, count);
    if (portFd < 0) return false;
    int sent = 0;
    while (sent < count) {
        const ssize_t n = ::write(portFd, source + sent, static_cast<size_t>(count - sent));
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        pollfd pfd {portFd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, readTimeoutMs);
        if (ready == 0) return false;  // no progress for a whole time-out
        if (ready < 0 && errno != EINTR) return false;
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
    }
    return true;
}

void discardInput()
{
    if (portFd >= 0) tcflush(portFd, TCIFLUSH);
}

void setReadTimeoutForTesting(int milliseconds) { readTimeoutMs = milliseconds > 0 ? milliseconds : 100; }
int readTimeoutMilliseconds() { return readTimeoutMs; }

void setPortStandInForTesting(PortStandIn *replacement)
{
    standIn = replacement;
    standInOpen = false;
}

}  // namespace trk7700::serial
