#include "qt_executor.h"

#include <utility>

namespace wayfolk {

QtExecutor::QtExecutor(QObject *parent) : QObject(parent), workerContext_(new QObject)
{
    workerContext_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("library calls"));
    thread_.start();
    ticker_.setInterval(200);
    connect(&ticker_, &QTimer::timeout, this, [this] {
        if (tick_) tick_();
    });
}

QtExecutor::~QtExecutor()
{
    thread_.quit();
    thread_.wait();
    delete workerContext_;
}

void QtExecutor::run(std::function<void()> work, std::function<void()> done)
{
    QMetaObject::invokeMethod(
        workerContext_,
        [this, work = std::move(work), done = std::move(done)] {
            work();
            QMetaObject::invokeMethod(
                this, [done] { done(); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void QtExecutor::startTicking(std::function<void()> tick)
{
    tick_ = std::move(tick);
    ticker_.start();
}

void QtExecutor::stopTicking()
{
    ticker_.stop();
    tick_ = {};
}

}  // namespace wayfolk
