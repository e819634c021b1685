// The two commands that cannot be undone ask first: "Wayfolk leeren" and
// "Upgrade Firmware". The question box itself (Ja / Nein, Nein the default,
// Escape is Nein), what each question says, and that only Ja reaches the logger.
#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"
#include "support/firmware_file_builder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace wayfolk;
using namespace wayfolk::testing;
using trk7700::sim::Fault;
using trk7700::sim::FaultKind;

Q_DECLARE_METATYPE(wayfolk::Answer)

namespace {

constexpr int kDumpLog = 0x60;
constexpr uint8_t kVersion13 = 0x0B;  // bits 5..3 major 1, bits 2..0 minor 3

const QString kEraseQuestion = QStringLiteral("Alle Daten im Wayfolk löschen?");
const QString kNotReadOut =
    QStringLiteral("\n\nDas Log wurde seit dem Verbinden nicht ausgelesen: seine Aufzeichnungen gehen verloren.");

// Does `act` to the question box once it is shown, from inside its own event loop.
void whenQuestionShows(const std::function<void(QMessageBox &)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(*box);
    });
    poll->start(10);
}

void connectOnCom3(ToolWindow &window)
{
    window.selectPort(3);
    window.click(window->Picture7);
    QVERIFY(window->connected());
    QCOMPARE(window.dialogs.messages, QStringList());
}

void prepareImage(const Sandbox &sandbox, uint8_t version)
{
    trk7700::testing::writeFirmwareFile(QFile::encodeName(sandbox.firmwareFolder()).toStdString(),
                                        trk7700::testing::buildFirmwareFile(version));
}

}  // namespace

class QuestionsTest : public QObject {
    Q_OBJECT

private slots:
    // The box the window really shows, answered with the keyboard and the mouse.
    void questionBox_data()
    {
        QTest::addColumn<int>("key");  // 0: a click on "Ja"
        QTest::addColumn<Answer>("defaultAnswer");
        QTest::addColumn<Answer>("expected");
        QTest::newRow("Escape is Nein") << int(Qt::Key_Escape) << Answer::no << Answer::no;
        QTest::newRow("Escape is Nein even when Ja is the default") << int(Qt::Key_Escape) << Answer::yes << Answer::no;
        QTest::newRow("Enter takes the default Nein") << int(Qt::Key_Return) << Answer::no << Answer::no;
        QTest::newRow("Enter takes a default Ja") << int(Qt::Key_Return) << Answer::yes << Answer::yes;
        QTest::newRow("a click on Ja") << 0 << Answer::no << Answer::yes;
    }

    void questionBox()
    {
        QFETCH(int, key);
        QFETCH(Answer, defaultAnswer);
        QFETCH(Answer, expected);
        QWidget owner;
        owner.show();
        QStringList seen;
        whenQuestionShows([&](QMessageBox &box) {
            seen << box.windowTitle() << box.text() << box.button(QMessageBox::Yes)->text()
                 << box.button(QMessageBox::No)->text() << box.defaultButton()->text();
            if (key == 0)
                QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton);
            else
                QTest::keyClick(&box, Qt::Key(key));
        });
        StandardDialogs dialogs;
        QCOMPARE(dialogs.ask(&owner, QStringLiteral("Wirklich?"), defaultAnswer), expected);
        QCOMPARE(seen, (QStringList{"Wayfolk-Tool", "Wirklich?", "Ja", "Nein",
                                    defaultAnswer == Answer::yes ? "Ja" : "Nein"}));
    }

    // Only Ja erases. The question warns unless a readout of this logger
    // completed since connecting: a failed one, or one before connecting anew,
    // does not count.
    void eraseAsksFirst_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("warned");
        QTest::newRow("Nein keeps the data") << "" << Answer::no << true;
        QTest::newRow("Ja erases, warned: not read out") << "" << Answer::yes << true;
        QTest::newRow("read out first: no warning") << "readout" << Answer::yes << false;
        QTest::newRow("read out, then connected anew") << "readout, reconnect" << Answer::yes << true;
        QTest::newRow("the readout failed") << "failed readout" << Answer::yes << true;
    }

    void eraseAsksFirst()
    {
        QFETCH(QString, before);
        QFETCH(Answer, answer);
        QFETCH(bool, warned);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        window->Text1->setText(sandbox.home() + QStringLiteral("/Tracks"));
        connectOnCom3(window);
        if (before.contains(QStringLiteral("readout"))) {
            if (before.startsWith(QStringLiteral("failed")))
                logger->setFaults({Fault{FaultKind::shortReply, kDumpLog}});
            window.click(window->Picture6);
            logger->clearFaults();
        }
        if (before.contains(QStringLiteral("reconnect"))) {
            window.run(window->Command3);
            QTRY_VERIFY(!logger->inDumpMode());
            window.click(window->Picture7);
        }
        window.dialogs.messages.clear();
        window.dialogs.answer = answer;
        window.click(window->Picture9);

        QCOMPARE(window.dialogs.questions.size(), 1);
        QCOMPARE(window.dialogs.questions[0].text, kEraseQuestion + (warned ? kNotReadOut : QString()));
        QCOMPARE(window.dialogs.questions[0].defaultAnswer, Answer::no);
        const bool erased = answer == Answer::yes;
        QCOMPARE(logger->snapshot().erases, erased ? 1 : 0);
        QCOMPARE(window.dialogs.messages,
                 erased ? QStringList{"Daten im Wayfolk erfolgreich gelöscht"} : QStringList());
        if (!erased)
            QCOMPARE(window->statusLine()->text(),
                     QStringLiteral("Nicht gelöscht: die Daten im Wayfolk bleiben erhalten."));
    }

    // The question names the logger's version read at connect and the
    // image's; only Ja sends the image. Afterwards the window no longer
    // claims the old version and offers to connect again.
    void upgradeAsksFirst_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("Nein sends nothing") << Answer::no;
        QTest::newRow("Ja upgrades") << Answer::yes;
    }

    void upgradeAsksFirst()
    {
        QFETCH(Answer, answer);
        Sandbox sandbox;
        prepareImage(sandbox, kVersion13);
        auto logger = sandbox.startLogger(3);  // firmware 1.2
        ToolWindow window;
        connectOnCom3(window);
        QCOMPARE(window->Label15->text(), QStringLiteral("FW Ver = 1.2"));
        logger->clearReceived();
        window.dialogs.answer = answer;
        window.run(window->Command6);

        QCOMPARE(window.dialogs.questions.size(), 1);
        QCOMPARE(window.dialogs.questions[0].text,
                 QStringLiteral("Firmware 1.2 durch 1.3 ersetzen?\n\nDer Logger darf während des Updates nicht "
                                "getrennt werden."));
        QCOMPARE(window.dialogs.questions[0].defaultAnswer, Answer::no);
        if (answer == Answer::no) {
            QVERIFY(commandCodes(*logger).empty());
            QCOMPARE(logger->snapshot().firmwareUploads, 0);
            QCOMPARE(window.dialogs.messages, QStringList());
            QVERIFY(logger->inDumpMode());
            QVERIFY(window->connected());
            QCOMPARE(window->Label15->text(), QStringLiteral("FW Ver = 1.2"));
            return;
        }
        QCOMPARE(logger->snapshot().firmwareUploads, 1);
        QCOMPARE(window.dialogs.messages,
                 QStringList({"35 return_upgrade_firmware_successful", "F/W Upgrade Finish,Please Remove USB Cable"}));
        QVERIFY2(!window->Label15->text().contains(QStringLiteral("1.2")), qPrintable(window->Label15->text()));
        QVERIFY(!window->connected());
        QVERIFY(window->Command1->isEnabled());
        QVERIFY(!window->Command5->isEnabled());
        QVERIFY(window->statusLine()->text().contains(QStringLiteral("1.3")));

        // The logger restarted: connecting again reads its new version.
        logger->withState([](trk7700::sim::DeviceState &state) { state.firmwareVersion = kVersion13; });
        window.dialogs.messages.clear();
        window.click(window->Picture7);
        QCOMPARE(window.dialogs.messages, QStringList());
        QVERIFY(window->connected());
        QCOMPARE(window->Label15->text(), QStringLiteral("FW Ver = 1.3"));
    }

    // An image that fails its check is told before any question, and nothing is sent.
    void upgradeWithBrokenImageAsksNothing()
    {
        Sandbox sandbox;
        trk7700::testing::writeFirmwareFile(
            QFile::encodeName(sandbox.firmwareFolder()).toStdString(),
            trk7700::testing::buildFirmwareFile(kVersion13, trk7700::testing::FirmwareFlaw::wrongChecksum));
        auto logger = sandbox.startLogger(3);
        ToolWindow window;
        connectOnCom3(window);
        logger->clearReceived();
        window.run(window->Command6);
        QVERIFY(window.dialogs.questions.isEmpty());
        QCOMPARE(window.dialogs.messages, QStringList{"36 return_bin_file_checksum_error"});
        QVERIFY(commandCodes(*logger).empty());
        QVERIFY2(window->statusLine()->text().startsWith(QStringLiteral("36 return_bin_file_checksum_error: ")),
                 qPrintable(window->statusLine()->text()));
    }

    // Before any connection the logger's version is unknown, and the question says so.
    void upgradeWithoutConnectionNamesNoVersion()
    {
        Sandbox sandbox;
        prepareImage(sandbox, kVersion13);
        ToolWindow window;
        window.dialogs.answer = Answer::no;
        window.run(window->Command6);
        QCOMPARE(window.dialogs.questions.size(), 1);
        QVERIFY2(window.dialogs.questions[0].text.startsWith(
                     QStringLiteral("Firmware (Version unbekannt) durch 1.3 ersetzen?")),
                 qPrintable(window.dialogs.questions[0].text));
        QCOMPARE(window.dialogs.messages, QStringList());
    }
};

QTEST_MAIN(QuestionsTest)
#include "questions_test.moc"
