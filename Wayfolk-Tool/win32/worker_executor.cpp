#include "worker_executor.h"

#include <memory>

namespace wayfolk::win32 {

WorkerExecutor::WorkerExecutor(FormWindow &window) : window_(window), worker_([this] { serve(); }) {}

WorkerExecutor::~WorkerExecutor()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void WorkerExecutor::run(std::function<void()> work, std::function<void()> done)
{
    // A ticker started for this piece of work stops when its result is
    // back, also should the caller not stop it itself.
    Job job{std::move(work), std::move(done), tickerStarted_};
    tickerStarted_ = false;
    if (job.ticks) {
        job.done = [this, done = std::move(job.done)] {
            stopTicking();
            if (done) done();
        };
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void WorkerExecutor::serve()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job.work();
        // The result goes back to the window's thread; a window that is gone
        // takes no more results.
        auto done = std::make_unique<std::function<void()>>(std::move(job.done));
        if (window_.post(0, reinterpret_cast<LPARAM>(done.get()))) done.release();
    }
}

void WorkerExecutor::deliver(LPARAM posted)
{
    std::unique_ptr<std::function<void()>> done(reinterpret_cast<std::function<void()> *>(posted));
    if (done && *done) (*done)();
}

void WorkerExecutor::startTicking(std::function<void()> tick)
{
    tick_ = std::move(tick);
    tickerStarted_ = true;
    window_.startTicking(200);
}

void WorkerExecutor::stopTicking()
{
    window_.stopTicking();
    tick_ = nullptr;
}

void WorkerExecutor::tick()
{
    if (tick_) tick_();
}

}  // namespace wayfolk::win32
