#pragma once
// Commands and their library calls, without freezing the window.
//
// Every library call runs on one worker thread, one at a time, in the order
// the commands ask for them; the window goes on repainting and moving
// meanwhile. One command runs at a time: from its start through its calls,
// the handling of their results and its messages, every further command is
// inert. A status text says what the running call does.
//
// A command is an action on the window's thread. It asks for library calls
// with call(); each call's result comes back to the window's thread, where its
// handler may ask for the next call. The command is over when its action and
// the handlers of all its calls have returned and no call is outstanding.
#include "binding/library_binding.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <type_traits>

namespace wayfolk {

class CommandFlow : public QObject {
    Q_OBJECT
public:
    using Binding = trk7700::client::LibraryBinding;

    explicit CommandFlow(Binding &binding, QObject *parent = nullptr);
    ~CommandFlow() override;  // waits for a call that is still running

    // A command is running.
    bool running() const { return running_; }

    // Runs a command unless one is running or closing has begun; false then.
    bool start(const std::function<void()> &action);

    // From a running command: runs work (a library call, or other work that
    // must not block the window) on the worker thread and hands its result to
    // `then` on the window's thread. status is shown while
    // the call runs; whileRunning, when given, is called about every 200 ms
    // meanwhile (for progress). A library or entry point that cannot be found
    // is told through bindingFailed before `then` gets the result, whose code
    // (0) then matches no result the handlers know.
    template <typename Result>
    void call(const QString &status, std::function<Result(Binding &)> work, std::function<void(const Result &)> then,
              std::function<void()> whileRunning = {});

    // Closing: no further command starts and the running one makes no further
    // calls (unless it asked to finish); once it is over, `last` runs as the
    // final command (it may make calls of its own). Asking again changes nothing.
    void close(const std::function<void()> &last);
    bool closing() const { return phase_ != Phase::open; }

    // From a running command: its further calls still run when closing
    // begins, so that work which must not stop halfway (a readout and its
    // conversion) completes. Holds until the command is over.
    void finishEvenWhenClosing() { finishEvenWhenClosing_ = running_; }

signals:
    void statusChanged(const QString &text);
    void runningChanged(bool running);
    void bindingFailed(const QString &text);

private:
    enum class Phase { open, waitingForCommand, lastCommand };

    // The library call inside a result: the result itself, its member `call`,
    // or none (work that makes no library call).
    template <typename Result>
    static const trk7700::client::LinkCall *linkCallOf(const Result &result)
    {
        if constexpr (std::is_same_v<Result, trk7700::client::LinkCall>)
            return &result;
        else if constexpr (requires { result.call; })
            return &result.call;
        else
            return nullptr;
    }

    bool callsAllowed() const { return phase_ != Phase::waitingForCommand || finishEvenWhenClosing_; }
    void post(const QString &status, std::function<void()> onWorker, std::function<void()> onWindow,
              std::function<void()> whileRunning);
    void callReturned(const std::function<void()> &onWindow);
    void tellFailure(const trk7700::client::LinkCall *call);
    void runCommand(const std::function<void()> &action);
    void finishIfDone();

    Binding &binding_;
    QThread thread_;
    QObject *workerContext_;  // lives on thread_
    QTimer whileRunningTimer_;
    std::function<void()> whileRunning_;
    bool running_ = false;
    int outstandingCalls_ = 0;
    int handlersActive_ = 0;
    Phase phase_ = Phase::open;
    bool finishEvenWhenClosing_ = false;
    std::function<void()> lastCommand_;
};

template <typename Result>
void CommandFlow::call(const QString &status, std::function<Result(Binding &)> work,
                       std::function<void(const Result &)> then, std::function<void()> whileRunning)
{
    if (!callsAllowed()) return;
    auto result = std::make_shared<Result>();
    post(
        status, [this, work, result] { *result = work(binding_); },
        [this, then, result] {
            tellFailure(linkCallOf(*result));
            then(*result);
        },
        std::move(whileRunning));
}

}  // namespace wayfolk
