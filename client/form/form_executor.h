#pragma once
// How a toolkit runs the model's work: on one worker thread, one piece after
// the other, with the result handed back on the window's thread; and a
// ticker for progress while a piece runs. The Qt view and the Win32 view
// each implement it; the model's tests run it by hand.
#include <functional>

namespace trk7700::form {

class FormExecutor {
public:
    virtual ~FormExecutor() = default;
    // Runs work on the worker (in the order asked), then done on the window's
    // thread. Never calls done from within run().
    virtual void run(std::function<void()> work, std::function<void()> done) = 0;
    // Calls tick on the window's thread about every 200 ms until stopTicking().
    virtual void startTicking(std::function<void()> tick) = 0;
    virtual void stopTicking() = 0;
};

}  // namespace trk7700::form
