#include "sim/simulated_logger.h"

#include "sim/pty_loop.h"

#include <mutex>
#include <stdexcept>

namespace trk7700::sim {

struct SimulatedLogger::Impl {
    mutable std::mutex lock;  // guards the model and the loop's settings
    DeviceModel model;
    PtyLoop loop;

    Impl(bool sendBanner, std::vector<RecordedSession> replay, long baudRate)
        : model(sendBanner, std::move(replay)), loop(lock, model, baudRate)
    {
    }
};

SimulatedLogger::SimulatedLogger(Options options)
    : options_(std::move(options)), impl_(new Impl(options_.sendBanner, std::move(options_.replay), options_.baudRate))
{
}

SimulatedLogger::~SimulatedLogger()
{
    stop();
    delete impl_;
}

void SimulatedLogger::start()
{
    if (options_.portDirectory.empty()) throw std::runtime_error("the simulator needs a port directory");
    impl_->loop.start(options_.portDirectory + "/COM" + std::to_string(options_.comNumber));
}

void SimulatedLogger::stop() { impl_->loop.stop(); }

std::string SimulatedLogger::portEntry() const { return impl_->loop.entryPath(); }

std::string SimulatedLogger::slavePath() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->loop.slavePath();
}

void SimulatedLogger::withState(const std::function<void(DeviceState &)> &change)
{
    std::lock_guard guard(impl_->lock);
    change(impl_->model.state());
}

DeviceState SimulatedLogger::snapshot() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->model.state();
}

void SimulatedLogger::setFaults(std::vector<Fault> faults)
{
    std::lock_guard guard(impl_->lock);
    impl_->model.setFaults(std::move(faults));
}

void SimulatedLogger::setBaudRate(long baudRate)
{
    std::lock_guard guard(impl_->lock);
    impl_->loop.setBaudRate(baudRate);
}

std::vector<uint8_t> SimulatedLogger::receivedBytes() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->model.receivedBytes();
}

std::vector<WireEvent> SimulatedLogger::events() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->model.events();
}

void SimulatedLogger::clearReceived()
{
    std::lock_guard guard(impl_->lock);
    impl_->model.clearReceived();
}

bool SimulatedLogger::inDumpMode() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->model.inDumpMode();
}

int SimulatedLogger::openCount() const { return impl_->loop.openCount(); }
bool SimulatedLogger::portOpenNow() const { return impl_->loop.portOpenNow(); }
uint64_t SimulatedLogger::bytesSent() const { return impl_->loop.bytesSent(); }

}  // namespace trk7700::sim
