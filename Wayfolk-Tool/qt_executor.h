#pragma once
// The form model's work on one worker thread, results back on the window's
// thread through its event loop; the ticker is a QTimer.
#include "form_executor.h"

#include <QObject>
#include <QThread>
#include <QTimer>

namespace wayfolk {

class QtExecutor : public QObject, public trk7700::form::FormExecutor {
    Q_OBJECT
public:
    explicit QtExecutor(QObject *parent = nullptr);
    ~QtExecutor() override;  // waits for work that is still running

    void run(std::function<void()> work, std::function<void()> done) override;
    void startTicking(std::function<void()> tick) override;
    void stopTicking() override;

private:
    QThread thread_;
    QObject *workerContext_;  // lives on thread_
    QTimer ticker_;
    std::function<void()> tick_;
};

}  // namespace wayfolk
