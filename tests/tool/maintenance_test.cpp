// The maintenance group: library version, the image's firmware version, the
// firmware upgrade and the GPS UTC time, with their exact texts; a long call
// that leaves the window responsive; closing the window during a call.
#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"
#include "support/firmware_file_builder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace wayfolk;
using namespace wayfolk::testing;
using trk7700::sim::Fault;
using trk7700::sim::FaultKind;
using trk7700::testing::FirmwareFlaw;

namespace {

constexpr int kGpsTime = 0x64;
constexpr int kFirmwareUpload = 0x5D;
constexpr int kSettingsUpload = 0x55;
constexpr uint8_t kVersion13 = 0x0B;  // bits 5..3 major 1, bits 2..0 minor 3

enum class ImageFolder { valid, missingFolder, noFile, tooShort, wrongIdentification, wrongChecksum };

void prepareImageFolder(const Sandbox &sandbox, ImageFolder kind)
{
    const std::filesystem::path folder = QFile::encodeName(sandbox.firmwareFolder()).toStdString();
    switch (kind) {
    case ImageFolder::missingFolder: return;
    case ImageFolder::noFile: std::filesystem::create_directories(folder); return;
    case ImageFolder::valid:
        trk7700::testing::writeFirmwareFile(folder, trk7700::testing::buildFirmwareFile(kVersion13));
        return;
    case ImageFolder::tooShort:
        trk7700::testing::writeFirmwareFile(folder,
                                            trk7700::testing::buildFirmwareFile(kVersion13, FirmwareFlaw::tooShort));
        return;
    case ImageFolder::wrongIdentification:
        trk7700::testing::writeFirmwareFile(
            folder, trk7700::testing::buildFirmwareFile(kVersion13, FirmwareFlaw::wrongIdentification));
        return;
    case ImageFolder::wrongChecksum:
        trk7700::testing::writeFirmwareFile(
            folder, trk7700::testing::buildFirmwareFile(kVersion13, FirmwareFlaw::wrongChecksum));
        return;
    }
}

void addImageRows()
{
    QTest::addColumn<int>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("31: folder missing") << int(ImageFolder::missingFolder) << "31 return_error_bin_file_path";
    QTest::newRow("32: no image file") << int(ImageFolder::noFile) << "32 return_can_not_open_bin_file";
    QTest::newRow("33: wrong size") << int(ImageFolder::tooShort) << "33 return_bin_file_size_error";
    QTest::newRow("34: not for this device")
        << int(ImageFolder::wrongIdentification) << "34 return_not_correct_bin_file";
    QTest::newRow("36: checksum wrong") << int(ImageFolder::wrongChecksum) << "36 return_bin_file_checksum_error";
}

// "Verbinden" on COM3, which must succeed silently.
void connectOnCom3(ToolWindow &window)
{
    window.selectPort(3);
    window.click(window->Picture7);
    QCOMPARE(window.dialogs.messages, QStringList());
}

}  // namespace

class MaintenanceTest : public QObject {
    Q_OBJECT

private slots:
    void dllVersionWithoutLogger()
    {
        Sandbox sandbox;
        ToolWindow window;
        window.run(window->Command9);
        // Shown where the other maintenance results are; the format caption stays.
        QCOMPARE(window->statusLine()->text(), QStringLiteral("DLL Version = 1.5"));
        QCOMPARE(window->Label9->text(), QStringLiteral("NMEA"));
        QCOMPARE(window.dialogs.messages, QStringList());
    }

    void binFileVersion()
    {
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder::valid);
        ToolWindow window;  // no logger: the image alone is read
        window.run(window->Command7);
        QCOMPARE(window->Label17->text(), QStringLiteral("Bin File FW Version = 1.3"));
        QCOMPARE(window.dialogs.messages, QStringList{"37 return_read_binfile_FW_version_successful"});
    }

    void binFileVersionFailures_data() { addImageRows(); }

    void binFileVersionFailures()
    {
        QFETCH(int, folder);
        QFETCH(QString, message);
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder(folder));
        ToolWindow window;
        window.run(window->Command7);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QCOMPARE(window->Label17->text(), QStringLiteral("Bin File FW Version = ? "));
    }

    void upgradeWithoutConnection()
    {
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder::valid);
        ToolWindow window;
        window.run(window->Command6);
        QCOMPARE(window.dialogs.messages, QStringList{"26 return_not_dump_mode"});
    }

    // Two messages one after the other; the library has then left dump mode.
    void upgradeSucceeds()
    {
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder::valid);
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        window.run(window->Command6);
        QCOMPARE(window.dialogs.messages,
                 QStringList({"35 return_upgrade_firmware_successful", "F/W Upgrade Finish,Please Remove USB Cable"}));
        const auto state = logger->snapshot();
        QCOMPARE(state.firmwareUploads, 1);
        QVERIFY(state.lastFirmwareImage == trk7700::testing::buildFirmwareFile(kVersion13).plain);
        QCOMPARE(exitRequests(*logger), 0);

        window.dialogs.messages.clear();
        window.run(window->Command12);
        QCOMPARE(window.dialogs.messages, QStringList{"26 return_not_dump_mode"});
    }

    void upgradeImageFailures_data() { addImageRows(); }

    void upgradeImageFailures()
    {
        QFETCH(int, folder);
        QFETCH(QString, message);
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder(folder));
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        window.run(window->Command6);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QCOMPARE(logger->snapshot().firmwareUploads, 0);
        QVERIFY(logger->inDumpMode());
    }

    void upgradeDeviceFailures_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("18: the logger reports a checksum error") << int(FaultKind::checksumError);
        QTest::newRow("12: no verdict") << int(FaultKind::noVerdict);
    }

    // Results without a row show nothing at all.
    void upgradeDeviceFailures()
    {
        QFETCH(int, fault);
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder::valid);
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        logger->setFaults({Fault{FaultKind(fault), kFirmwareUpload}});
        window.run(window->Command6);
        QCOMPARE(window.dialogs.messages, QStringList());
        QVERIFY(logger->inDumpMode());
    }

    // The labels of the maintenance group lie under the photo: every result
    // also appears in the status line, a failure with what to do.
    void resultsInStatusLine_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("folder");
        QTest::addColumn<bool>("hasTime");
        QTest::addColumn<QString>("status");  // the whole text, or its start when it ends in ": "
        QTest::newRow("library version") << "Command9" << false << int(ImageFolder::valid) << true
                                         << "DLL Version = 1.5";
        QTest::newRow("image version") << "Command7" << false << int(ImageFolder::valid) << true
                                       << "Bin File FW Version = 1.3";
        QTest::newRow("32: no image") << "Command7" << false << int(ImageFolder::noFile) << true
                                      << "32 return_can_not_open_bin_file: ";
        QTest::newRow("36: image damaged")
            << "Command7" << false << int(ImageFolder::wrongChecksum) << true << "36 return_bin_file_checksum_error: ";
        QTest::newRow("39: GPS time") << "Command12" << true << int(ImageFolder::valid) << true
                                      << "GPS UTC Time = 23:59:7,   31,12,7 (Stunde:Minute:Sekunde, Tag,Monat,Jahr)";
        QTest::newRow("38: no GPS time") << "Command12" << true << int(ImageFolder::valid) << false
                                         << "38 return_read_gps_utc_time_invalid: ";
        QTest::newRow("26: GPS time, not connected")
            << "Command12" << false << int(ImageFolder::valid) << true << "26 return_not_dump_mode: ";
    }

    void resultsInStatusLine()
    {
        QFETCH(QString, command);
        QFETCH(bool, connected);
        QFETCH(int, folder);
        QFETCH(bool, hasTime);
        QFETCH(QString, status);
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder(folder));
        auto logger = sandbox.startLogger(3);
        logger->withState([hasTime](auto &state) {
            state.gpsHasTime = hasTime;
            state.gpsTime = {23, 59, 7, 7, 12, 31};
        });
        ToolWindow window;
        if (connected) connectOnCom3(window);
        window.run(window->findChild<QPushButton *>(command));
        const QString shown = window->statusLine()->text();
        if (status.endsWith(QStringLiteral(": ")))
            QVERIFY2(shown.startsWith(status) && shown.size() > status.size() + 10, qPrintable(shown));
        else
            QCOMPARE(shown, status);
    }

    // Results that no message box tells get words: number, name and what to do.
    void silentFailuresGetWords_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("status");
        QTest::newRow("store, 18") << "Command8" << int(FaultKind::checksumError) << kSettingsUpload
                                   << "18 return_device_checksum_error: ";
        QTest::newRow("store, 12") << "Command8" << int(FaultKind::noVerdict) << kSettingsUpload
                                   << "12 return_device_time_out: ";
        QTest::newRow("upgrade, 18") << "Command6" << int(FaultKind::checksumError) << kFirmwareUpload
                                     << "18 return_device_checksum_error: ";
        QTest::newRow("upgrade, 12") << "Command6" << int(FaultKind::noVerdict) << kFirmwareUpload
                                     << "12 return_device_time_out: ";
    }

    void silentFailuresGetWords()
    {
        QFETCH(QString, command);
        QFETCH(int, fault);
        QFETCH(int, target);
        QFETCH(QString, status);
        Sandbox sandbox;
        prepareImageFolder(sandbox, ImageFolder::valid);
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        logger->setFaults({Fault{FaultKind(fault), target}});
        window.run(window->findChild<QPushButton *>(command));
        QCOMPARE(window.dialogs.messages, QStringList());  // the message boxes stay as they are
        const QString shown = window->statusLine()->text();
        QVERIFY2(shown.startsWith(status) && shown.contains(QStringLiteral("Bitte")), qPrintable(shown));
        QVERIFY(window->connected());  // the logger is still there
    }

    void gpsTime_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("hasTime");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("label");
        QTest::newRow("39, no leading zeros") << true << true << "39 return_read_gps_utc_time_successful"
                                              << " GPS UTC Time = 23:59:7,   31,12,7";
        QTest::newRow("38: no valid time") << true << false << "38 return_read_gps_utc_time_invalid"
                                           << "";
        QTest::newRow("26: not connected") << false << true << "26 return_not_dump_mode"
                                           << "";
    }

    void gpsTime()
    {
        QFETCH(bool, connected);
        QFETCH(bool, hasTime);
        QFETCH(QString, message);
        QFETCH(QString, label);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        logger->withState([hasTime](auto &state) {
            state.gpsHasTime = hasTime;
            state.gpsTime = {23, 59, 7, 7, 12, 31};
        });
        ToolWindow window;
        if (connected) connectOnCom3(window);
        window.run(window->Command12);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QCOMPARE(window->Label20->text(), label.isEmpty() ? QStringLiteral(" GPS UTC Time = ") : label);
    }

    // A call of seconds: the window keeps handling events, says what goes on,
    // and takes no other command meanwhile.
    void longCallKeepsTheWindowResponsive()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        logger->setFaults({Fault{FaultKind::silence, kGpsTime}});  // the library waits about two seconds
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        QElapsedTimer elapsed;
        elapsed.start();

        window->runCommand(window->Command12);
        QVERIFY(window->commandRunning());
        QTRY_COMPARE(window->statusLine()->text(), QStringLiteral("Lese GPS-Zeit..."));
        // Inert meanwhile: the folder dialog does not open, the library version is not read.
        QTest::mouseClick(window->Picture5->caption(), Qt::LeftButton);
        window->runCommand(window->Command9);
        QVERIFY(window->commandRunning());
        QVERIFY(window.waitForIdle());
        const qint64 took = elapsed.elapsed();

        QVERIFY2(took > 1000, qPrintable(QString::number(took)));
        QVERIFY2(ticks > took / 10 / 3, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took)));
        QCOMPARE(window.dialogs.folderDialogs, 0);
        QCOMPARE(window->Label9->text(), QStringLiteral("NMEA"));
        QCOMPARE(window.dialogs.messages, QStringList{"38 return_read_gps_utc_time_invalid"});
        // The call's own status is gone; the result stays, as its label lies under the photo.
        QVERIFY2(window->statusLine()->text().startsWith(QStringLiteral("38 return_read_gps_utc_time_invalid: ")),
                 qPrintable(window->statusLine()->text()));
    }

    // Closing during a call waits for it, then leaves dump mode and stores the options.
    void closingDuringACall()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        logger->setFaults({Fault{FaultKind::silence, kGpsTime}});
        window->runCommand(window->Command12);
        QTRY_COMPARE(window->statusLine()->text(), QStringLiteral("Lese GPS-Zeit..."));
        window->close();
        QTest::qWait(300);
        QVERIFY(window->isVisible());
        QCOMPARE(exitRequests(*logger), 0);
        QVERIFY(!QFile::exists(sandbox.optionsFile()));

        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 20000);
        QTRY_COMPARE(exitRequests(*logger), 1);  // the simulator sees it a moment later
        QTRY_VERIFY(!logger->inDumpMode());
        QVERIFY(QFile::exists(sandbox.optionsFile()));
        QCOMPARE(window.dialogs.messages, QStringList{"38 return_read_gps_utc_time_invalid"});
    }
};

QTEST_MAIN(MaintenanceTest)
#include "maintenance_test.moc"
