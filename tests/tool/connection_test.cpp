// "Verbinden", "Automatisch Verbinden" and "Exit Dump Mode" against the real
// library and a simulated logger; the device information that every
// connection reads; closing the window while connected.
#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace wayfolk;
using namespace wayfolk::testing;
using trk7700::sim::Fault;
using trk7700::sim::FaultKind;
using trk7700::sim::FaultTarget;

namespace {

const QColor kGrey(128, 128, 128);
constexpr int kDeviceInformation = 0x5B;
constexpr int kReadSettings = 0x62;

Fault handshakeSilence() { return Fault{FaultKind::silence, static_cast<int>(FaultTarget::handshake)}; }

// The window looks as before any connection.
void verifyNotConnected(ToolWindow &window)
{
    QVERIFY(window->Command1->isEnabled());
    QVERIFY(window->Command11->isEnabled());
    for (QPushButton *command : {window->Command5, window->Command13, window->Command4, window->Command8})
        QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
    QCOMPARE(textColour(window->Label33), kGrey);
    QCOMPARE(textColour(window->Label34), QApplication::palette().color(QPalette::WindowText));
    QCOMPARE(window->Label16->text(), QStringLiteral("Seriennummer = "));
}

}  // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void verbindenNeedsAPort()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList{"Bitte Com Port auswählen."});
        QCOMPARE(logger->openCount(), 0);
        verifyNotConnected(window);
    }

    // Connecting reads the device information, then the settings, and only
    // then offers the device commands.
    void verbindenConnects()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window.selectPort(3);
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList());
        QCOMPARE(window->comPort(), 3);
        QVERIFY(logger->inDumpMode());
        QCOMPARE(commandCodes(*logger), std::vector<int>({kDeviceInformation, kReadSettings}));
        verifyConnected(window);
        QCOMPARE(window->Label19->text(), QStringLiteral("Com Port wählen:"));
        QCOMPARE(window->Label16->text(), QStringLiteral("Seriennummer = 12345"));
        QCOMPARE(window->Label15->text(), QStringLiteral("FW Ver = 1.2"));
        // The logger's factory settings: a fix every 5 s, tag button on, vibration off, no minimum speed.
        QVERIFY(window->Option4->isChecked());
        QCOMPARE(window->Text2->text(), QStringLiteral("5"));
        QCOMPARE(window->Text3->text(), QStringLiteral("50"));
        QVERIFY(window->Check1->isChecked());
        QVERIFY(!window->Check9->isChecked());
        QCOMPARE(window->Text4->text(), QStringLiteral("0"));
        QVERIFY(window->statusLine()->text().isEmpty());

        QVERIFY(window.close());
        QTRY_COMPARE(exitRequests(*logger), 1);  // the simulator sees it a moment later
        QVERIFY(QFile::exists(sandbox.optionsFile()));
    }

    void verbindenFailures_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("replies");
        QTest::addColumn<QString>("message");
        QTest::newRow("3: no such port") << 5 << true << "Com Port nicht gefunden, oder belegt.";
        QTest::newRow("4: no dump-mode reply") << 3 << false << "Auslesemodus belegt. Wayfolk bitte neustarten.";
    }

    void verbindenFailures()
    {
        QFETCH(int, port);
        QFETCH(bool, replies);
        QFETCH(QString, message);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        if (!replies) logger->setFaults({handshakeSilence()});
        ToolWindow window;
        window.selectPort(port);
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QCOMPARE(window->comPort(), port);  // taken whatever the result
        QTRY_VERIFY(!logger->inDumpMode());
        verifyNotConnected(window);
        QVERIFY(commandCodes(*logger).empty());
    }

    // The search finds COM 7: the caption names it and the list shows it before the settings are read.
    void automatischVerbindenConnects()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(7);
        ToolWindow window;
        window.click(window->Picture8);
        QCOMPARE(window.dialogs.messages, QStringList());
        QCOMPARE(window->Label19->text(), QStringLiteral("Verbunden mit COM  = 7"));
        QCOMPARE(window->Combo1->currentIndex(), 6);
        QCOMPARE(window->Combo1->currentText(), QStringLiteral("COM7"));
        QCOMPARE(window->comPort(), 7);  // set by the settings read-back from the list
        QCOMPARE(commandCodes(*logger), std::vector<int>({kDeviceInformation, kReadSettings}));
        verifyConnected(window);
        QCOMPARE(window->Label16->text(), QStringLiteral("Seriennummer = 12345"));
    }

    void automatischVerbindenFailures_data()
    {
        QTest::addColumn<bool>("loggerPresent");
        QTest::addColumn<QString>("message");
        QTest::newRow("3: no logger on any port") << false << "Kann Com Port nicht öffnen !";
        QTest::newRow("4: no dump-mode reply") << true << "Auslese Modus gesperrt !";
    }

    void automatischVerbindenFailures()
    {
        QFETCH(bool, loggerPresent);
        QFETCH(QString, message);
        Sandbox sandbox;
        std::unique_ptr<trk7700::sim::SimulatedLogger> logger;
        if (loggerPresent) {
            logger = sandbox.startLogger(3);
            logger->setFaults({handshakeSilence()});
        }
        ToolWindow window;
        window.click(window->Picture8);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QCOMPARE(window->Label19->text(), QStringLiteral("Com Port wählen:"));
        QCOMPARE(window->Combo1->currentIndex(), -1);
        verifyNotConnected(window);
    }

    // A port above COM37 gets its entry (and those between), so the list
    // index stays the COM number minus one.
    void automaticConnectionAboveCom37()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(42);
        ToolWindow window;
        window.click(window->Picture8);
        QCOMPARE(window.dialogs.messages, QStringList());
        QCOMPARE(window->Label19->text(), QStringLiteral("Verbunden mit COM  = 42"));
        QCOMPARE(window->Combo1->count(), 42);
        QCOMPARE(window->Combo1->itemText(37), QStringLiteral("COM38"));
        QCOMPARE(window->Combo1->currentText(), QStringLiteral("COM42"));
        QCOMPARE(window->comPort(), 42);
        verifyConnected(window);
    }

    // The grey connect pictures still forward their clicks; the library
    // refuses a second connection and the open one is not disturbed.
    void connectingAgainWhileConnected()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window.selectPort(3);
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList());
        window.click(window->Picture7);
        window.click(window->Picture8);
        QCOMPARE(window.dialogs.messages,
                 QStringList({"Com Port nicht gefunden, oder belegt.", "Kann Com Port nicht öffnen !"}));
        QCOMPARE(logger->openCount(), 1);
        QVERIFY(logger->inDumpMode());
        QCOMPARE(exitRequests(*logger), 0);
        verifyConnected(window);
    }

    void exitDumpMode()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window.run(window->Command3);  // without a connection: nothing to see
        QCOMPARE(window.dialogs.messages, QStringList());
        verifyNotConnected(window);

        window.selectPort(3);
        window.click(window->Picture7);
        window.run(window->Command3);
        QCOMPARE(window.dialogs.messages, QStringList());
        QTRY_COMPARE(exitRequests(*logger), 1);  // the simulator sees it a moment later
        QTRY_VERIFY(!logger->inDumpMode());
        // The window shows at once that the connection ended, as after a vanished logger.
        verifyNotConnected(window);
        QCOMPARE(window->Label16->text(), QStringLiteral("Seriennummer = "));
        QCOMPARE(window->Label15->text(), QStringLiteral("FW Ver = "));
        QVERIFY2(window->statusLine()->text().contains(QStringLiteral("„Verbinden“")),
                 qPrintable(window->statusLine()->text()));
        window.click(window->Picture7);  // and connects again
        verifyConnected(window);
        QCOMPARE(window.dialogs.messages, QStringList());
    }

    void deviceInformation_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("serialLabel");
        QTest::addColumn<QString>("versionLabel");
        QTest::newRow("29, serial number above 2^31") << 29 << ""
                                                      << "Seriennummer = 3000000000"
                                                      << "FW Ver = 10.2";
        QTest::newRow("27: information invalid") << 27 << "Verbindungsfehler 27"
                                                 << ""
                                                 << "";
        QTest::newRow("28: no answer") << 28 << "Verbindungsfehler 28"
                                       << ""
                                       << "";
        QTest::newRow("12: no end marker") << 12 << ""
                                           << ""
                                           << "";
        QTest::newRow("26: not connected") << 26 << "Verbindungsfehler 26"
                                           << ""
                                           << "";
    }

    // The hidden command "Read Device Information", run again once connected.
    void deviceInformation()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        QFETCH(QString, serialLabel);
        QFETCH(QString, versionLabel);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        if (result != 26) {
            window.selectPort(3);
            window.click(window->Picture7);
            QCOMPARE(window.dialogs.messages, QStringList());
        }
        const QString serialBefore = window->Label16->text(), versionBefore = window->Label15->text();
        switch (result) {
        case 29:
            logger->withState([](auto &state) {
                state.serialNumber = 3000000000u;
                state.firmwareVersion = 0x52;
            });
            break;
        case 27: logger->withState([](auto &state) { state.secondVersion = 0xFF; }); break;
        case 28: logger->setFaults({Fault{FaultKind::silence, kDeviceInformation}}); break;
        case 12: logger->setFaults({Fault{FaultKind::noEndMarker, kDeviceInformation}}); break;
        default: break;
        }
        window.run(window->Command2);
        QCOMPARE(window.dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(window->Label16->text(), serialLabel.isEmpty() ? serialBefore : serialLabel);
        QCOMPARE(window->Label15->text(), versionLabel.isEmpty() ? versionBefore : versionLabel);
    }

    // A connection whose device information fails still reads the settings
    // and offers the device commands.
    void connectionGoesOnAfterFailedInformation()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        logger->setFaults({Fault{FaultKind::silence, kDeviceInformation}});
        ToolWindow window;
        window.selectPort(3);
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList{"Verbindungsfehler 28"});
        QCOMPARE(commandCodes(*logger), std::vector<int>({kDeviceInformation, kReadSettings}));
        verifyConnected(window);
    }

    // "Verbinden" on a port that cannot be opened, and "Auto. Verbinden" that
    // finds no logger: the message box stays as it is, the status line says why.
    void portFailureIsExplained_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("entry");  // what COM5 is in the port directory
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status");
        QTest::newRow("not mapped") << false << ""
                                    << "Com Port nicht gefunden, oder belegt."
                                    << "COM5 ist keinem Gerät zugeordnet: der Port-Ordner ";
        QTest::newRow("not a serial device") << false << "file"
                                             << "Com Port nicht gefunden, oder belegt."
                                             << "COM5 (";
        QTest::newRow("device missing") << false << "dangling"
                                        << "Com Port nicht gefunden, oder belegt."
                                        << "COM5 (";
        QTest::newRow("search: nothing mapped")
            << true << ""
            << "Kann Com Port nicht öffnen !"
            << "Auf keinem Port antwortet ein Logger. COM1 ist keinem Gerät zugeordnet: ";
        QTest::newRow("search: a port that is no device") << true << "file"
                                                          << "Kann Com Port nicht öffnen !"
                                                          << "Auf keinem Port antwortet ein Logger. COM5 (";
    }

    void portFailureIsExplained()
    {
        QFETCH(bool, automatic);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(QString, status);
        Sandbox sandbox;
        const QString com5 = sandbox.ports() + QStringLiteral("/COM5");
        if (entry == QStringLiteral("file")) {
            QFile file(com5);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (entry == QStringLiteral("dangling")) {
            QVERIFY(QFile::link(sandbox.ports() + QStringLiteral("/gone"), com5));
        }
        ToolWindow window;
        if (automatic) {
            window.click(window->Picture8);
        } else {
            window.selectPort(5);
            window.click(window->Picture7);
        }
        QCOMPARE(window.dialogs.messages, QStringList{message});
        const QString shown = window->statusLine()->text();
        QVERIFY2(shown.startsWith(status), qPrintable(shown));
        if (entry == QStringLiteral("file"))
            QVERIFY2(shown.contains(QStringLiteral("ist kein serielles Gerät, sondern eine gewöhnliche Datei")),
                     qPrintable(shown));
        if (entry == QStringLiteral("dangling"))
            QVERIFY2(shown.contains(QStringLiteral("gibt es nicht (der Verweis zeigt ins Leere)")), qPrintable(shown));
        // The box carries the same words beneath its first line.
        QCOMPARE(window.dialogs.fullMessages, QStringList{message + QStringLiteral("\n\n") + shown});
        verifyNotConnected(window);
    }

    // Connecting again while connected: the library refuses, and the status
    // line says why instead of blaming the port.
    void connectingAgainIsExplained()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window.selectPort(3);
        window.click(window->Picture7);
        window.click(window->Picture8);
        QCOMPARE(window.dialogs.messages, QStringList{"Kann Com Port nicht öffnen !"});
        QVERIFY2(window->statusLine()->text().startsWith(QStringLiteral("Der Logger ist schon verbunden")),
                 qPrintable(window->statusLine()->text()));
    }

    // Dump mode left (by "Exit Dump Mode" here): the window looks unconnected
    // at once; a device command run all the same gets 26, tells it as before
    // with what to do, and "Verbinden" then connects again.
    void notDumpModeShowsNotConnected_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("message");
        QTest::newRow("readout") << "Command5"
                                 << "26 return_not_dump_mode";
        QTest::newRow("erase") << "Command4"
                               << "Nicht verbunden";
        QTest::newRow("store") << "Command8"
                               << "26 return_not_dump_mode";
        QTest::newRow("GPS time") << "Command12"
                                  << "26 return_not_dump_mode";
    }

    void notDumpModeShowsNotConnected()
    {
        QFETCH(QString, command);
        QFETCH(QString, message);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window->Text1->setText(sandbox.home() + QStringLiteral("/Tracks"));
        window.selectPort(3);
        window.click(window->Picture7);
        window.run(window->Command3);
        QTRY_VERIFY(!logger->inDumpMode());
        verifyNotConnected(window);

        window.run(window->findChild<QPushButton *>(command));
        QCOMPARE(window.dialogs.messages, QStringList{message});
        verifyNotConnectedAnyMore(window);

        window.dialogs.messages.clear();
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList());
        verifyConnected(window);
        QVERIFY(logger->inDumpMode());
    }

    // Without the library every command tells so and nothing breaks; closing stays quiet.
    void missingLibraryIsTold()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        trk7700::client::LibraryBinding missing("libTRK7700_missing.so");
        ToolWindow window(missing);
        window.selectPort(3);
        window.click(window->Picture7);
        window.click(window->Picture8);
        window.run(window->Command9);
        QCOMPARE(window.dialogs.messages.size(), 3);
        for (const QString &message : window.dialogs.messages)
            QVERIFY2(message.startsWith(QStringLiteral("libTRK7700_missing.so cannot be loaded")), qPrintable(message));
        verifyNotConnected(window);
        QCOMPARE(window->Label9->text(), QStringLiteral("NMEA"));
        QCOMPARE(logger->openCount(), 0);

        QVERIFY(window.close());
        QCOMPARE(window.dialogs.messages.size(), 3);
        QVERIFY(QFile::exists(sandbox.optionsFile()));
    }
};

QTEST_MAIN(ConnectionTest)
#include "connection_test.moc"
