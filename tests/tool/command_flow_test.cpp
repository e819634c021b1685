// The command flow: library calls on one worker thread, in order, with the
// window's event loop running meanwhile; one command at a time; closing waits
// for the running command.
#include "command_flow.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <thread>

using namespace wayfolk;
using trk7700::client::LibraryBinding;
using trk7700::client::LinkCall;

namespace {

struct Step {
    QString name;
    Qt::HANDLE thread = nullptr;
};

// A call that takes `milliseconds` and reports where it ran.
std::function<Step(CommandFlow::Binding &)> slowStep(const QString &name, int milliseconds)
{
    return [name, milliseconds](CommandFlow::Binding &) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return Step{name, QThread::currentThreadId()};
    };
}

bool waitUntilIdle(const CommandFlow &flow)
{
    return QTest::qWaitFor([&] { return !flow.running(); }, 10000);
}

}  // namespace

class CommandFlowTest : public QObject {
    Q_OBJECT

private slots:
    void callsRunOnOneWorkerThreadInOrder()
    {
        LibraryBinding binding;
        CommandFlow flow(binding);
        QSignalSpy status(&flow, &CommandFlow::statusChanged);
        QList<Step> done;
        QVERIFY(flow.start([&] {
            flow.call<Step>(QStringLiteral("first..."), slowStep(QStringLiteral("first"), 50), [&](const Step &step) {
                done << step;
                flow.call<Step>(QStringLiteral("second..."), slowStep(QStringLiteral("second"), 10),
                                [&](const Step &second) { done << second; });
            });
        }));
        QVERIFY(flow.running());
        QVERIFY(waitUntilIdle(flow));
        QCOMPARE(done.size(), 2);
        QCOMPARE(done[0].name, QStringLiteral("first"));
        QCOMPARE(done[1].name, QStringLiteral("second"));
        QCOMPARE(done[0].thread, done[1].thread);
        QVERIFY(done[0].thread != QThread::currentThreadId());
        QStringList shown;
        for (const auto &arguments : status) shown << arguments.at(0).toString();
        QCOMPARE(shown, QStringList({"first...", "", "second...", ""}));
    }

    void commandsAreInertWhileOneRuns()
    {
        LibraryBinding binding;
        CommandFlow flow(binding);
        int started = 0;
        const auto command = [&] {
            ++started;
            flow.call<Step>(QStringLiteral("busy"), slowStep(QStringLiteral("busy"), 200), [](const Step &) {});
        };
        QVERIFY(flow.start(command));
        QVERIFY(!flow.start(command));
        QVERIFY(waitUntilIdle(flow));
        QVERIFY(flow.start(command));
        QVERIFY(waitUntilIdle(flow));
        QCOMPARE(started, 2);
        // A command without calls is over when its action returns.
        QVERIFY(flow.start([] {}));
        QVERIFY(!flow.running());
    }

    void eventLoopRunsDuringACall()
    {
        LibraryBinding binding;
        CommandFlow flow(binding);
        int ticks = 0, progressLooks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        flow.start([&] {
            flow.call<Step>(
                QStringLiteral("long"), slowStep(QStringLiteral("long"), 800), [](const Step &) {},
                [&] { ++progressLooks; });
        });
        QVERIFY(waitUntilIdle(flow));
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        QVERIFY2(progressLooks >= 2, qPrintable(QString::number(progressLooks)));
    }

    // Closing waits for the running command, which then makes no further
    // call; the last command runs after it and may call the library itself.
    void closeWaitsForTheRunningCommand()
    {
        LibraryBinding binding;
        CommandFlow flow(binding);
        QStringList events;
        flow.start([&] {
            flow.call<Step>(QStringLiteral("running"), slowStep(QStringLiteral("running"), 300), [&](const Step &) {
                events << QStringLiteral("running returned");
                flow.call<Step>(QStringLiteral("further"), slowStep(QStringLiteral("further"), 0),
                                [&](const Step &) { events << QStringLiteral("further returned"); });
            });
        });
        flow.close([&] {
            events << QStringLiteral("last started");
            flow.call<Step>(QStringLiteral("leaving"), slowStep(QStringLiteral("leaving"), 0),
                            [&](const Step &) { events << QStringLiteral("leaving returned"); });
        });
        QVERIFY(flow.closing());
        QCOMPARE(events, QStringList());
        QVERIFY(!flow.start([&] { events << QStringLiteral("new command"); }));
        QVERIFY(QTest::qWaitFor([&] { return events.size() == 3; }, 10000));
        QCOMPARE(events, QStringList({"running returned", "last started", "leaving returned"}));
        QVERIFY(waitUntilIdle(flow));
    }

    void missingLibraryIsToldThenHandled()
    {
        LibraryBinding missing(QStringLiteral("libTRK7700_missing.so").toStdString());
        CommandFlow flow(missing);
        QSignalSpy failures(&flow, &CommandFlow::bindingFailed);
        int handledResult = -1;
        flow.start([&] {
            flow.call<LinkCall>(
                QStringLiteral("exit"), [](CommandFlow::Binding &library) { return library.exitDumpMode(); },
                [&](const LinkCall &call) { handledResult = call.result; });
        });
        QVERIFY(waitUntilIdle(flow));
        QCOMPARE(handledResult, 0);
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures[0][0].toString().startsWith(QStringLiteral("libTRK7700_missing.so cannot be loaded")));

        // While closing nobody is told.
        flow.close([&] {
            flow.call<LinkCall>(
                QStringLiteral("exit"), [](CommandFlow::Binding &library) { return library.exitDumpMode(); },
                [&](const LinkCall &call) { handledResult = call.result + 100; });
        });
        QVERIFY(QTest::qWaitFor([&] { return handledResult == 100; }, 10000));
        QCOMPARE(failures.size(), 1);
    }
};

QTEST_MAIN(CommandFlowTest)
#include "command_flow_test.moc"
