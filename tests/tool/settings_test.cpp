// The settings page against the simulated logger: the read-back after a
// connection, the store with its km/h and knots conversion and the guard
// against rounding drift, its messages, and entries too large to be sent.
#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <array>

using namespace wayfolk;
using namespace wayfolk::testing;
using trk7700::sim::Fault;
using trk7700::sim::FaultKind;

namespace {

constexpr int kUpload = 0x55;
constexpr uint32_t kNotSet = 0xFFFFFFFF;

// The fields of the logger's settings record.
struct Record {
    uint32_t timeInterval, distanceInterval;
    uint8_t vibration, tag, minSpeed;
};

uint32_t littleEndian32(const uint8_t *at)
{
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

Record recordOf(const trk7700::sim::SimulatedLogger &logger)
{
    const auto state = logger.snapshot();
    const auto &r = state.settingsRecord;
    return {littleEndian32(&r[0]), littleEndian32(&r[4]), r[8], r[24], r[25]};
}

void setRecord(trk7700::sim::SimulatedLogger &logger, const Record &record)
{
    logger.withState([&](trk7700::sim::DeviceState &state) {
        auto &r = state.settingsRecord;
        for (int i = 0; i < 4; ++i) {
            r[i] = static_cast<uint8_t>(record.timeInterval >> (8 * i));
            r[4 + i] = static_cast<uint8_t>(record.distanceInterval >> (8 * i));
        }
        r[8] = record.vibration;
        r[24] = record.tag;
        r[25] = record.minSpeed;
    });
}

bool connectOnCom3(ToolWindow &window)
{
    window.selectPort(3);
    window.click(window->Picture7);
    return window->Command8->isEnabled() && window.dialogs.messages.isEmpty();
}

// Selects neither interval option (the window's layout at start).
void selectNeitherOption(ToolWindow &window)
{
    for (QRadioButton *option : {window->Option4, window->Option5}) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void readBack_data()
    {
        QTest::addColumn<uint>("time");
        QTest::addColumn<uint>("distance");
        QTest::addColumn<int>("vibration");
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("knots");
        QTest::addColumn<bool>("byTime");
        QTest::addColumn<QString>("text2");
        QTest::addColumn<QString>("text3");
        QTest::addColumn<QString>("text4");
        QTest::newRow("time mode, 5 knots show as 8 km/h") << 60u << kNotSet << 2 << 1 << 5 << true << "60"
                                                           << "50"
                                                           << "8";
        // Text2 keeps its text in distance mode.
        QTest::newRow("distance mode") << kNotSet << 100u << 0 << 0 << 0 << false << "5"
                                       << "100"
                                       << "0";
        QTest::newRow("neither interval set") << kNotSet << kNotSet << 0 << 2 << 20 << false << "5"
                                              << "50"
                                              << "36";
    }

    void readBack()
    {
        QFETCH(uint, time);
        QFETCH(uint, distance);
        QFETCH(int, vibration);
        QFETCH(int, tag);
        QFETCH(int, knots);
        QFETCH(bool, byTime);
        QFETCH(QString, text2);
        QFETCH(QString, text3);
        QFETCH(QString, text4);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        setRecord(*logger, {time, distance, uint8_t(vibration), uint8_t(tag), uint8_t(knots)});
        ToolWindow window;
        QVERIFY(connectOnCom3(window));
        QCOMPARE(window->Option4->isChecked(), byTime);
        QCOMPARE(window->Option5->isChecked(), !byTime);
        QCOMPARE(window->Text2->text(), text2);
        QCOMPARE(window->Text3->text(), text3);
        QCOMPARE(window->Text4->text(), text4);
        QCOMPARE(window->Check9->isChecked(), vibration != 0);
        QCOMPARE(window->Check1->isChecked(), tag == 1);
    }

    // What a store sends and says. The logger starts at 5 s, tag on, 5 knots
    // (shown as 8 km/h); each row changes the page after the read-back.
    void store_data()
    {
        QTest::addColumn<int>("option");  // 4, 5, or 0 for neither
        QTest::addColumn<QString>("text2");
        QTest::addColumn<QString>("text3");
        QTest::addColumn<QString>("text4");  // empty: left as read back
        QTest::addColumn<QString>("message");
        QTest::addColumn<uint>("time");
        QTest::addColumn<uint>("distance");
        QTest::addColumn<int>("knots");
        const QString stored = QStringLiteral("Daten erfolgreich gespeichert");
        // 5 knots show as 8 km/h; the knots read back are sent, not a value recomputed from 8 km/h.
        QTest::newRow("untouched speed goes back as read") << 4 << "5"
                                                           << "50"
                                                           << "" << stored << 5u << kNotSet << 5;
        QTest::newRow("10 km/h typed: 6 knots") << 4 << "5"
                                                << "50"
                                                << "10" << stored << 5u << kNotSet << 6;
        QTest::newRow("8 km/h typed: 5 knots") << 4 << "5"
                                               << "50"
                                               << "8" << stored << 5u << kNotSet << 5;
        QTest::newRow("0 km/h: no minimum speed") << 4 << "5"
                                                  << "50"
                                                  << "0" << stored << 5u << kNotSet << 0;
        QTest::newRow("distance mode") << 5 << "5"
                                       << "120"
                                       << "" << stored << kNotSet << 120u << 5;
        QTest::newRow("neither option: both intervals 0") << 0 << "5"
                                                          << "50"
                                                          << "" << stored << kNotSet << kNotSet << 5;
        // A field that is not a whole number within the logger's range is named
        // with its range, and nothing is sent.
        const auto refused = [](const char *field, const char *range, const char *entry) {
            return QStringLiteral("%1 nimmt eine ganze Zahl von %2; „%3“ ist keine solche Zahl. Bitte korrigieren und "
                                  "erneut speichern. Es wurde nichts gespeichert.")
                .arg(QString::fromUtf8(field), QString::fromUtf8(range), QString::fromUtf8(entry));
        };
        QTest::newRow("seconds with a unit")
            << 4 << "2.5 s"
            << "50"
            << "" << refused("Das Log-Intervall in Sekunden", "1 bis 3600 Sekunden", "2.5 s") << 0u << 0u << -1;
        QTest::newRow("seconds with a fraction")
            << 4 << "3.5"
            << "50"
            << "" << refused("Das Log-Intervall in Sekunden", "1 bis 3600 Sekunden", "3.5") << 0u << 0u << -1;
        QTest::newRow("4000 s") << 4 << "4000"
                                << "50"
                                << "" << refused("Das Log-Intervall in Sekunden", "1 bis 3600 Sekunden", "4000") << 0u
                                << 0u << -1;
        QTest::newRow("0 s") << 4 << "0"
                             << "50"
                             << "" << refused("Das Log-Intervall in Sekunden", "1 bis 3600 Sekunden", "0") << 0u << 0u
                             << -1;
        QTest::newRow("4000 m") << 5 << "5"
                                << "4000"
                                << "" << refused("Das Log-Intervall in Metern", "1 bis 3000 Meter", "4000") << 0u << 0u
                                << -1;
        QTest::newRow("37 km/h are 21 knots")
            << 4 << "5"
            << "50"
            << "37" << refused("Die Minimal Geschwindigkeit", "0 bis 36 km/h", "37") << 0u << 0u << -1;
        QTest::newRow("letters as speed")
            << 4 << "5"
            << "50"
            << "abc" << refused("Die Minimal Geschwindigkeit", "0 bis 36 km/h", "abc") << 0u << 0u << -1;
        QTest::newRow("empty speed") << 4 << "5"
                                     << "50"
                                     << " " << refused("Die Minimal Geschwindigkeit", "0 bis 36 km/h", " ") << 0u << 0u
                                     << -1;
        // The field not in force is not looked at.
        QTest::newRow("distance ignored when by time") << 4 << "7"
                                                       << "x"
                                                       << "" << stored << 7u << kNotSet << 5;
    }

    void store()
    {
        QFETCH(int, option);
        QFETCH(QString, text2);
        QFETCH(QString, text3);
        QFETCH(QString, text4);
        QFETCH(QString, message);
        QFETCH(uint, time);
        QFETCH(uint, distance);
        QFETCH(int, knots);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        setRecord(*logger, {5, kNotSet, 0, 1, 5});
        ToolWindow window;
        QVERIFY(connectOnCom3(window));
        QCOMPARE(window->Text4->text(), QStringLiteral("8"));
        if (option == 4) window->Option4->setChecked(true);
        if (option == 5) window->Option5->setChecked(true);
        if (option == 0) selectNeitherOption(window);
        window->Text2->setText(text2);
        window->Text3->setText(text3);
        if (!text4.isEmpty()) window->Text4->setText(text4);
        window->Check9->setChecked(true);

        window.click(window->Picture2);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QVERIFY(window->Command8->isEnabled());
        const auto state = logger->snapshot();
        if (knots < 0) {
            QCOMPARE(state.settingsUploads, 0);
            return;
        }
        QCOMPARE(state.settingsUploads, 1);
        QVERIFY(!state.voiceData.empty());  // the shipped voice prompts went along
        const Record sent = recordOf(*logger);
        QCOMPARE(sent.timeInterval, time);
        QCOMPARE(sent.distanceInterval, distance);
        QCOMPARE(int{sent.minSpeed}, knots);
        QCOMPARE(int{sent.vibration}, 2);
        QCOMPARE(int{sent.tag}, 1);
    }

    // Entries the library's arguments cannot carry: told, nothing sent.
    void entriesTooLarge_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("text2");
        QTest::addColumn<QString>("text3");
        QTest::addColumn<QString>("text4");
        QTest::addColumn<QString>("named");
        QTest::newRow("seconds beyond 16 bits") << 4 << "40000"
                                                << "50"
                                                << "0"
                                                << "„40000“";
        QTest::newRow("seconds far beyond") << 4 << "1e300"
                                            << "50"
                                            << "0"
                                            << "„1e300“";
        QTest::newRow("metres below 16 bits") << 5 << "5"
                                              << "-40000"
                                              << "0"
                                              << "„-40000“";
        QTest::newRow("km/h beyond a byte of knots") << 4 << "5"
                                                     << "50"
                                                     << "500"
                                                     << "„500“";
        QTest::newRow("km/h far beyond") << 4 << "5"
                                         << "50"
                                         << "9e99"
                                         << "„9e99“";
    }

    void entriesTooLarge()
    {
        QFETCH(int, option);
        QFETCH(QString, text2);
        QFETCH(QString, text3);
        QFETCH(QString, text4);
        QFETCH(QString, named);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        QVERIFY(connectOnCom3(window));
        (option == 4 ? window->Option4 : window->Option5)->setChecked(true);
        window->Text2->setText(text2);
        window->Text3->setText(text3);
        window->Text4->setText(text4);
        logger->clearReceived();
        window.click(window->Picture2);
        QCOMPARE(window.dialogs.messages.size(), 1);
        const QString &message = window.dialogs.messages[0];
        QVERIFY2(message.contains(named) && message.endsWith(QStringLiteral("Es wurde nichts gespeichert.")),
                 qPrintable(message));
        QVERIFY(commandCodes(*logger).empty());
        QVERIFY(window->Command8->isEnabled());
    }

    // Results without a row in the table stay silent; "not connected" is told by name.
    void storeFailures_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("message");
        QTest::newRow("18: the logger reports a checksum error") << true << "";
        QTest::newRow("26: not connected") << false << "26 return_not_dump_mode";
    }

    void storeFailures()
    {
        QFETCH(bool, connected);
        QFETCH(QString, message);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        if (connected) {
            QVERIFY(connectOnCom3(window));
            logger->setFaults({Fault{FaultKind::checksumError, kUpload}});
        } else {
            window.selectPort(3);
        }
        window.run(window->Command8);
        QCOMPARE(window.dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(logger->snapshot().settingsUploads, 0);
        QCOMPARE(window->Command8->isEnabled(), connected);
    }

    // Neither command calls the library without a port.
    void noPortSelected()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window.run(window->Command10);
        window.run(window->Command8);
        QCOMPARE(window.dialogs.messages, QStringList({"Please select COM port", "Please select COM port"}));
        QVERIFY(!window->Command8->isEnabled());  // not connected
        QCOMPARE(logger->openCount(), 0);
        QCOMPARE(window->comPort(), 0);
    }

    // While a store runs its button is off, so "Einst. Speichern" cannot start a second one.
    void storeDisablesItsButton()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        QVERIFY(connectOnCom3(window));
        logger->setFaults({Fault{FaultKind::lateReply, kUpload, 0, 1500}});
        window->runCommand(window->Command8);
        QTRY_VERIFY(window->statusLine()->text().startsWith(QStringLiteral("Speichere Einstellungen...")));
        QVERIFY(!window->Command8->isEnabled());
        QVERIFY(window->statusLine()->busy());
        QTest::mouseClick(window->Picture2->caption(), Qt::LeftButton);
        QVERIFY(window.waitForIdle());
        QCOMPARE(window.dialogs.messages, QStringList{"Daten erfolgreich gespeichert"});
        QCOMPARE(logger->snapshot().settingsUploads, 1);
        QVERIFY(window->Command8->isEnabled());
        QVERIFY(!window->statusLine()->busy());
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
