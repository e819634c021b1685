#include "command_flow.h"

#include <utility>

namespace wayfolk {

CommandFlow::CommandFlow(Binding &binding, QObject *parent)
    : QObject(parent), binding_(binding), workerContext_(new QObject)
{
    workerContext_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("library calls"));
    thread_.start();
    whileRunningTimer_.setInterval(200);
    connect(&whileRunningTimer_, &QTimer::timeout, this, [this] {
        if (whileRunning_) whileRunning_();
    });
}

CommandFlow::~CommandFlow()
{
    thread_.quit();
    thread_.wait();
    delete workerContext_;
}

bool CommandFlow::start(const std::function<void()> &action)
{
    if (running_ || phase_ != Phase::open) return false;
    runCommand(action);
    return true;
}

void CommandFlow::close(const std::function<void()> &last)
{
    if (phase_ != Phase::open) return;
    lastCommand_ = last;
    phase_ = Phase::waitingForCommand;
    if (running_) return;  // finishIfDone starts it
    phase_ = Phase::lastCommand;
    runCommand(lastCommand_);
}

void CommandFlow::runCommand(const std::function<void()> &action)
{
    running_ = true;
    emit runningChanged(true);
    ++handlersActive_;
    action();
    --handlersActive_;
    finishIfDone();
}

void CommandFlow::post(const QString &status, std::function<void()> onWorker, std::function<void()> onWindow,
                       std::function<void()> whileRunning)
{
    ++outstandingCalls_;
    emit statusChanged(status);
    whileRunning_ = std::move(whileRunning);
    if (whileRunning_) whileRunningTimer_.start();
    QMetaObject::invokeMethod(
        workerContext_,
        [this, onWorker = std::move(onWorker), onWindow = std::move(onWindow)] {
            onWorker();
            QMetaObject::invokeMethod(
                this, [this, onWindow] { callReturned(onWindow); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CommandFlow::callReturned(const std::function<void()> &onWindow)
{
    whileRunningTimer_.stop();
    whileRunning_ = {};
    --outstandingCalls_;
    emit statusChanged(QString());
    ++handlersActive_;
    onWindow();
    --handlersActive_;
    finishIfDone();
}

void CommandFlow::tellFailure(const trk7700::client::LinkCall *call)
{
    // While closing, nobody is left to act on it.
    if (call != nullptr && !call->made() && phase_ == Phase::open)
        emit bindingFailed(QString::fromStdString(call->failure));
}

void CommandFlow::finishIfDone()
{
    if (!running_ || handlersActive_ > 0 || outstandingCalls_ > 0) return;
    running_ = false;
    finishEvenWhenClosing_ = false;
    emit runningChanged(false);
    if (phase_ == Phase::waitingForCommand) {
        phase_ = Phase::lastCommand;
        runCommand(lastCommand_);
    }
}

}  // namespace wayfolk
