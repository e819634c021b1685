// The logger vanishes during an operation. The library then answers "no
// answer" within a second, closes the port and leaves dump mode, so that the
// next device call gives 26 at once and a new connection needs no exit first.
// Kept apart from the other connection tests: it needs that library.
#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace wayfolk;
using namespace wayfolk::testing;
using trk7700::sim::Fault;
using trk7700::sim::FaultKind;

namespace {

constexpr int kDeviceInformation = 0x5B;

}  // namespace

class VanishedLoggerTest : public QObject {
    Q_OBJECT

private slots:
    // The logger vanishes during an operation: the library answers "no
    // answer", closes the port and leaves dump mode. The window shows that it
    // is no longer connected, and "Verbinden" connects to the logger that
    // came back, without a restart.
    void vanishedLoggerOffersConnectingAgain_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("readout") << "Command5" << 0x60 << "12 return_device_time_out";
        QTest::newRow("erase") << "Command4" << 0x61 << "Wayfolk Antwortet nicht";
        QTest::newRow("store") << "Command8" << 0x55 << "";
        QTest::newRow("device information") << "Command2" << kDeviceInformation << "";
    }

    void vanishedLoggerOffersConnectingAgain()
    {
        QFETCH(QString, command);
        QFETCH(int, target);
        QFETCH(QString, message);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        // The library notices the hang-up at once; the quick clock only keeps
        // a library that does not from waiting minutes for the erase.
        ToolWindow window(quickClockLibrary());
        window->Text1->setText(sandbox.home() + QStringLiteral("/Tracks"));
        window.selectPort(3);
        window.click(window->Picture7);
        verifyConnected(window);
        logger->setFaults({Fault{FaultKind::hangup, target, 0, 50}});
        QElapsedTimer clock;
        clock.start();
        window.run(window->findChild<QPushButton *>(command));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(window.dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
        verifyNotConnectedAnyMore(window);

        logger->clearFaults();
        window.dialogs.messages.clear();
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList());
        verifyConnected(window);
        QTRY_VERIFY(logger->inDumpMode());
        QCOMPARE(logger->openCount(), 2);
    }
};

QTEST_MAIN(VanishedLoggerTest)
#include "vanished_logger_test.moc"
