// The model's executor on Windows: one worker thread runs the library calls
// one after the other; each result comes back to the window's thread as a
// posted message. The ticker is a window timer.
#pragma once

#include "form_executor.h"
#include "form_window.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace wayfolk::win32 {

class WorkerExecutor : public trk7700::form::FormExecutor {
public:
    explicit WorkerExecutor(FormWindow &window);
    ~WorkerExecutor() override;

    void run(std::function<void()> work, std::function<void()> done) override;
    void startTicking(std::function<void()> tick) override;
    void stopTicking() override;

    // On the window's thread: a message from FormWindow::post, a timer tick.
    void deliver(LPARAM posted);
    void tick();

private:
    void serve();

    FormWindow &window_;
    std::mutex mutex_;
    std::condition_variable wake_;
    struct Job {
        std::function<void()> work;
        std::function<void()> done;
        bool ticks = false;  // the ticker started with it ends before its done
    };
    std::deque<Job> queue_;
    bool tickerStarted_ = false;  // since the last run()
    bool stopping_ = false;
    std::function<void()> tick_;
    std::thread worker_;
};

}  // namespace wayfolk::win32
