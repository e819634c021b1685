#include "sim/pty_loop.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace trk7700::sim {
namespace {

// A fresh pseudo-terminal in raw mode whose slave was opened and closed once,
// so that from now on the master reports a hang-up exactly while nobody has
// the port open.
int createPseudoTerminal(std::string &slavePath)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) throw std::runtime_error("posix_openpt failed");
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        throw std::runtime_error("grantpt/unlockpt failed");
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        throw std::runtime_error("ptsname failed");
    }
    slavePath = name;
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}

void linkEntry(const std::string &entry, const std::string &target)
{
    ::unlink(entry.c_str());
    if (::symlink(target.c_str(), entry.c_str()) != 0) throw std::runtime_error("cannot create " + entry);
}

void sleepFor(std::chrono::nanoseconds span)
{
    const auto ns = span.count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    nanosleep(&ts, nullptr);
}

}  // namespace

PtyLoop::PtyLoop(std::mutex &lock, DeviceModel &model, long baudRate) : lock_(lock), model_(model), baudRate_(baudRate)
{
}

PtyLoop::~PtyLoop() { stop(); }

void PtyLoop::start(const std::string &entryPath)
{
    if (thread_.joinable()) return;
    entryPath_ = entryPath;
    {
        std::lock_guard guard(lock_);
        masterFd_ = createPseudoTerminal(slavePath_);
    }
    if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe failed");
    linkEntry(entryPath_, slavePath_);
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void PtyLoop::stop()
{
    if (!thread_.joinable()) return;
    stopping_ = true;
    const char wake = 1;
    (void)!::write(wakePipe_[1], &wake, 1);
    thread_.join();
    ::unlink(entryPath_.c_str());
    if (masterFd_ >= 0) ::close(masterFd_);
    masterFd_ = -1;
    for (int &fd : wakePipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void PtyLoop::take(LineActions actions)
{
    if (actions.dropPending) output_.clear();
    for (auto &chunk : actions.chunks) output_.push_back({std::move(chunk)});
}

void PtyLoop::portOpened()
{
    portOpen_ = true;
    ++openCount_;
    output_.clear();
    pacingIdle_ = true;
    take(model_.portOpened());
}

void PtyLoop::portClosed()
{
    // Take what the last opener wrote just before it closed.
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd_, buffer, sizeof buffer);
        if (n <= 0) break;
        take(model_.received(buffer, static_cast<size_t>(n)));
    }
    portOpen_ = false;
    output_.clear();
    model_.portClosed();
    tcflush(masterFd_, TCOFLUSH);  // nothing stale for the next opener
}

void PtyLoop::vanish()
{
    // The device vanishes: the port fails for whoever has it open, and a
    // fresh port appears under the same COM number for the next opener.
    ::close(masterFd_);
    masterFd_ = createPseudoTerminal(slavePath_);
    linkEntry(entryPath_, slavePath_);
    output_.clear();
    model_.portClosed();
    portOpen_ = false;
}

void PtyLoop::writeDueOutput(Clock::time_point &wakeAt, bool &wantWrite)
{
    while (!output_.empty() && portOpen_) {
        PendingChunk &c = output_.front();
        if (!c.pauseStarted) {
            c.pauseStarted = true;
            c.notBefore = Clock::now() + std::chrono::milliseconds(c.chunk.pauseBeforeMs);
            if (c.chunk.pauseBeforeMs > 0) pacingIdle_ = true;
        }
        const auto now = Clock::now();
        if (now < c.notBefore) {
            wakeAt = std::min(wakeAt, c.notBefore);
            break;
        }
        if (c.chunk.hangUp) {
            vanish();
            break;
        }
        const auto &bytes = c.chunk.bytes;
        if (c.offset >= bytes.size()) {
            output_.pop_front();
            continue;
        }
        size_t allowed = bytes.size() - c.offset;
        if (baudRate_ > 0) {
            if (pacingIdle_) {
                pacingIdle_ = false;
                pacingStart_ = now;
                pacedBytes_ = 0;
            }
            const double rate = static_cast<double>(baudRate_) / 10.0;
            const double elapsed = std::chrono::duration<double>(now - pacingStart_).count();
            const double due = elapsed * rate - static_cast<double>(pacedBytes_);
            // Bytes leave in small groups at their absolute due times.
            if (due < 1.0) {
                const auto next = pacingStart_ + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>((pacedBytes_ + 16) / rate));
                wakeAt = std::min(wakeAt, next);
                break;
            }
            allowed = std::min(allowed, static_cast<size_t>(due));
        }
        allowed = std::min<size_t>(allowed, 4096);
        const ssize_t n = ::write(masterFd_, bytes.data() + c.offset, allowed);
        if (n > 0) {
            c.offset += static_cast<size_t>(n);
            pacedBytes_ += static_cast<uint64_t>(n);
            bytesSent_ += static_cast<uint64_t>(n);
            continue;
        }
        wantWrite = true;  // the port's buffer is full
        break;
    }
    if (output_.empty()) pacingIdle_ = true;
}

void PtyLoop::run()
{
    uint8_t readBuffer[4096];
    while (!stopping_) {
        // Until an opener is seen, look often: the master tells an open only by
        // no longer reporting a hang-up, and the banner is due within milliseconds.
        Clock::time_point wakeAt = Clock::now() + std::chrono::milliseconds(portOpen_ ? 50 : 1);
        bool wantWrite = false;
        {
            std::lock_guard guard(lock_);
            writeDueOutput(wakeAt, wantWrite);
        }

        pollfd fds[2] = {{masterFd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {wakePipe_[0], POLLIN, 0}};
        auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(wakeAt - Clock::now()).count();
        if (wait < 0) wait = 0;
        timespec timeout{static_cast<time_t>(wait / 1000000000), static_cast<long>(wait % 1000000000)};
        if (::ppoll(fds, 2, &timeout, nullptr) < 0) continue;
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
        }
        const bool hungUp = (fds[0].revents & POLLHUP) != 0;
        bool idleWhileClosed = false;
        {
            std::lock_guard guard(lock_);
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(masterFd_, readBuffer, sizeof readBuffer);
                if (n > 0) {
                    if (!portOpen_) portOpened();
                    take(model_.received(readBuffer, static_cast<size_t>(n)));
                    continue;
                }
            }
            if (hungUp) {
                if (portOpen_) portClosed();
                idleWhileClosed = true;
            } else if (!portOpen_) {
                portOpened();
            }
        }
        // While nobody has the port open the master reports a hang-up on every
        // poll; look again in a millisecond instead of spinning.
        if (idleWhileClosed) sleepFor(std::chrono::milliseconds(1));
    }
}

}  // namespace trk7700::sim
