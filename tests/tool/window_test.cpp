// The window: its first start, the options file, captions, stacking, the
// picture buttons, the folder dialog and the keyboard's reach.
#include "tool_fixture.h"

#include "picture_button.h"
#include "status_line.h"
#include "wrapped_check_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <map>
#include <sys/stat.h>

using namespace wayfolk;
using namespace wayfolk::testing;

namespace {

const QColor kGrey(128, 128, 128);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// The options file's numbers: 0 unchecked, 1 checked, 2 grey.
int fileNumber(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

QList<int> storedBoxes(Form1 &form)
{
    return {fileNumber(form.Check2), fileNumber(form.Check3), fileNumber(form.Check4), fileNumber(form.Check7),
            fileNumber(form.Check8)};
}

QString captionOf(const QWidget *control)
{
    if (const auto *box = qobject_cast<const QGroupBox *>(control)) return box->title();
    if (const auto *combo = qobject_cast<const QComboBox *>(control)) return combo->currentText();
    return control->property("text").toString();
}

// The control a click at the middle of `control` reaches.
QWidget *topmostAt(Form1 &form, const QWidget *control)
{
    return form.childAt(control->mapTo(&form, control->rect().center()));
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartWithoutOptionsFile()
    {
        Sandbox sandbox;
        ToolWindow window;
        QCOMPARE(window->windowTitle(), QStringLiteral("Wayfolk - Tool V1.12"));
        QCOMPARE(window->size(), QSize(612, 384));
        QCOMPARE(window->minimumSize(), window->maximumSize());

        QCOMPARE(window->Combo1->count(), 37);
        QCOMPARE(window->Combo1->itemText(0), QStringLiteral("COM1"));
        QCOMPARE(window->Combo1->itemText(36), QStringLiteral("COM37"));
        QCOMPARE(window->Combo1->currentIndex(), -1);
        QCOMPARE(window->comPort(), 0);
        QCOMPARE(storedBoxes(*window), QList<int>({0, 0, 0, 0, 0}));
        QCOMPARE(window->Text1->text(), sandbox.home() + QStringLiteral("/Wayfolk"));
        QCOMPARE(window->Label18->text(), QStringLiteral(" Firmware file is in  ") + sandbox.firmwareFolder() +
                                              QStringLiteral("TRK7700_Encode.Bin"));

        for (QPushButton *command : {window->Command5, window->Command4, window->Command8, window->Command13})
            QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
        for (QPushButton *command : {window->Command1, window->Command11, window->Command3, window->Command9})
            QVERIFY2(command->isEnabled(), qPrintable(command->objectName()));
        for (QLabel *label : {window->Label33, window->Label36, window->Label31}) QCOMPARE(textColour(label), kGrey);
        for (QLabel *label : {window->Label34, window->Label35, window->Label32})
            QCOMPARE(textColour(label), QApplication::palette().color(QPalette::WindowText));
        QCOMPARE(window->Check5->checkState(), Qt::PartiallyChecked);
        QVERIFY(!window->Check5->isEnabled());
        QCOMPARE(window->Check6->checkState(), Qt::PartiallyChecked);
        QVERIFY(!window->Check6->isEnabled());
        QVERIFY(window->statusLine()->text().isEmpty());

        // Closing writes the file, though dump mode was never entered.
        QVERIFY(window.close());
        QCOMPARE(readAll(sandbox.optionsFile()),
                 QByteArray(" 0\r\n 0\r\n 0\r\n 0\r\n 0\r\n") + QFile::encodeName(sandbox.home()) + "/Wayfolk\r\n");
        QVERIFY(window.dialogs.messages.isEmpty());
    }

    void optionsFileWrittenAtClose()
    {
        Sandbox sandbox;
        {
            ToolWindow window;
            window->Check2->setChecked(true);
            window->Check7->setChecked(true);
            window->Text1->setText(QStringLiteral("/data/Touren März"));
            QVERIFY(window.close());
        }
        QCOMPARE(readAll(sandbox.optionsFile()),
                 QByteArray(" 1\r\n 0\r\n 0\r\n 1\r\n 0\r\n/data/Touren M\xC3\xA4rz\r\n"));
        ToolWindow again;
        QCOMPARE(storedBoxes(*again), QList<int>({1, 0, 0, 1, 0}));
        QCOMPARE(again->Text1->text(), QStringLiteral("/data/Touren März"));
    }

    // A link planted under the options file's name is replaced, never written
    // through; a FIFO there neither blocks the start nor the close.
    void optionsFileNeverFollowsALinkOrWaitsOnAFifo()
    {
        Sandbox sandbox;
        const QString outside = sandbox.home() + QStringLiteral("/precious.txt");
        writeAll(outside, "not the tool's to touch");
        QVERIFY(QFile::link(outside, sandbox.optionsFile()));
        {
            ToolWindow window;
            window->Check2->setChecked(true);
            QVERIFY(window.close());
        }
        QCOMPARE(readAll(outside), QByteArray("not the tool's to touch"));
        QVERIFY(!QFileInfo(sandbox.optionsFile()).isSymLink());
        QVERIFY(readAll(sandbox.optionsFile()).startsWith(" 1\r\n"));

        QVERIFY(QFile::remove(sandbox.optionsFile()));
        QCOMPARE(::mkfifo(QFile::encodeName(sandbox.optionsFile()).constData(), 0600), 0);
        QElapsedTimer started;
        started.start();
        {
            ToolWindow window;
            QVERIFY(window.close());
        }
        QVERIFY(started.elapsed() < 10000);
    }

    void optionsFileRestored_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("boxes");  // Google Earth, Ozi Explorer, GPX, date, per mark
        QTest::addColumn<QString>("folder");    // empty: the default folder

        QTest::newRow("first line checked") << QByteArray(" 1\r\n 0\r\n 0\r\n 0\r\n 0\r\n/data/tracks\r\n")
                                            << QList<int>{1, 0, 0, 0, 0} << "/data/tracks";
        QTest::newRow("letter in line 3") << QByteArray(" 1\r\n 1\r\n x\r\n 1\r\n 1\r\n/data/tracks\r\n")
                                          << QList<int>{1, 1, 0, 1, 1} << "/data/tracks";
        // A missing line leaves its control as it was, not the previous line's text.
        QTest::newRow("five lines") << QByteArray(" 1\r\n 1\r\n 1\r\n 1\r\n 1\r\n") << QList<int>{1, 1, 1, 1, 1} << "";
        QTest::newRow("three lines") << QByteArray(" 1\r\n 0\r\n 1\r\n") << QList<int>{1, 0, 1, 0, 0} << "";
        QTest::newRow("grey, out of range, blanks")
            << QByteArray(" 2\r\n 3\r\n -1\r\n  1 \r\n0\r\n/x\r\n") << QList<int>{2, 0, 0, 1, 0} << "/x";
        QTest::newRow("empty folder line")
            << QByteArray(" 0\r\n 0\r\n 0\r\n 0\r\n 1\r\n\r\n") << QList<int>{0, 0, 0, 0, 1} << "";
        QTest::newRow("line feeds alone")
            << QByteArray("1\n1\n0\n0\n1\n/data/lf\n") << QList<int>{1, 1, 0, 0, 1} << "/data/lf";
        QTest::newRow("no last line end")
            << QByteArray(" 0\r\n 1\r\n 0\r\n 0\r\n 0\r\n/data/end") << QList<int>{0, 1, 0, 0, 0} << "/data/end";
        QTest::newRow("empty file") << QByteArray() << QList<int>{0, 0, 0, 0, 0} << "";
    }

    void optionsFileRestored()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, boxes);
        QFETCH(QString, folder);
        Sandbox sandbox;
        writeAll(sandbox.optionsFile(), file);
        ToolWindow window;
        QCOMPARE(storedBoxes(*window), boxes);
        QCOMPARE(window->Text1->text(), folder.isEmpty() ? sandbox.home() + QStringLiteral("/Wayfolk") : folder);
    }

    void captionsAndContainers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("container");
        const char *const table[][3] = {
            {"Frame4", "Extras", "Form1"},
            {"Check8", "Je Markierung extra Datei", "Frame4"},
            {"Check7", "Datum an Dateinamen anhängen", "Frame4"},
            {"Label36", "Wayfolk leeren", "Picture9"},
            {"Label35", "Auto. Verbinden", "Picture8"},
            {"Label34", "Verbinden", "Picture7"},
            {"Label33", "Log Auslesen", "Picture6"},
            {"Label32", "Durchsuchen", "Picture5"},
            {"Frame3", "Formate", "Form1"},
            {"Check6", "", "Frame3"},
            {"Check2", "", "Frame3"},
            {"Check3", "", "Frame3"},
            {"Check4", "", "Frame3"},
            {"Check5", "", "Frame3"},
            {"Label9", "NMEA", "Frame3"},
            {"Label30", "RAW", "Frame3"},
            {"Label2", "Google Earth", "Frame3"},
            {"Label23", "Ozi Explorer", "Frame3"},
            {"Label28", "GPX", "Frame3"},
            {"Label31", "Einst. Speichern", "Picture2"},
            {"Command14", "Command14", "Form1"},
            {"Frame1", "Einstellungen", "Form1"},
            {"Check9", "An", "Frame1"},
            {"Frame2", "Log Interval", "Frame1"},
            {"Option4", "", "Frame2"},
            {"Option5", "", "Frame2"},
            {"Text2", "5", "Frame2"},
            {"Text3", "50", "Frame2"},
            {"Text4", "0", "Frame2"},
            {"Label24", "Sekunden", "Frame2"},
            {"Label25", "Meter", "Frame2"},
            {"Label26", "Minimal Geschwindigkeit:", "Frame2"},
            {"Label27", "in km/h", "Frame2"},
            {"Check1", "An", "Frame1"},
            {"Label22", "Markierung:", "Frame1"},
            {"Label1", "Vibationssensor:", "Frame1"},
            {"Command13", "Durchsuchen", "Form1"},
            {"Command11", "Automatisch Verbinden", "Form1"},
            {"Command10", "Einstellungen auslesen", "Form1"},
            {"Command8", "Einstellungen speichern", "Form1"},
            {"Command4", "Daten im Wayfolk löschen", "Form1"},
            {"Command5", "LOG Auslesen", "Form1"},
            {"Command2", "Read Device Information", "Form1"},
            {"Command1", "Verbinden", "Form1"},
            {"Command7", "Read Bin File FW  Version", "Form1"},
            {"Command6", "Upgrade Firmware", "Form1"},
            {"Command12", "Read GPS UTC Time", "Form1"},
            {"Command9", "Read DLL Version", "Form1"},
            {"Command3", "Exit Dump Mode", "Form1"},
            {"Label29", "Label29", "Form1"},
            {"Label19", "Com Port wählen:", "Form1"},
            {"Label21", "hr:min:sec , day,month,year", "Form1"},
            {"Label20", " GPS UTC Time = ", "Form1"},
            {"Label17", "Bin File FW Version = ? ", "Form1"},
            {"Label16", "Seriennummer = ", "Form1"},
            {"Label15", "FW Ver = ", "Form1"},
        };
        for (const auto &row : table)
            QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1])
                                  << QString::fromUtf8(row[2]);
    }

    void captionsAndContainers()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, container);
        Sandbox sandbox;
        ToolWindow window;
        const auto *control = window->findChild<QWidget *>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(captionOf(control), caption);
        QCOMPARE(control->parentWidget()->objectName(), container);
    }

    void toolTipsAndHiddenControls()
    {
        Sandbox sandbox;
        ToolWindow window;
        // The fields' tips name the ranges the logger takes.
        QCOMPARE(window->Text2->toolTip(),
                 QStringLiteral("Es wird alle X Sekunden ein Log geschrieben (1 bis 3600 Sekunden)."));
        QCOMPARE(window->Text3->toolTip(),
                 QStringLiteral("Es wird alle X Meter ein Log geschrieben (1 bis 3000 Meter)."));
        QCOMPARE(window->Text4->toolTip(),
                 QStringLiteral("Mindestgeschwindigkeit die erreicht sein muss, damit ein Log geschrieben wird. "
                                "0= Geschwindigkeit egal (0 bis 36 km/h)."));
        for (QWidget *hidden : std::initializer_list<QWidget *>{window->Command2, window->Command10, window->Command14,
                                                                window->Picture3, window->Picture4, window->Label29})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        QVERIFY(!window->Option4->isChecked() && !window->Option5->isChecked());
        QCOMPARE(window->Text1->font().pointSizeF(), 8.25);
        QCOMPARE(window->Text1->font().families().value(0), QStringLiteral("Tahoma"));
    }

    // The photo hides the maintenance group; each picture button hides its
    // command button; the readouts below the photo stay in view.
    void stacking()
    {
        Sandbox sandbox;
        ToolWindow window;
        QCOMPARE(window->Picture1->size(), QSize(251, 162));
        for (QWidget *underPhoto : std::initializer_list<QWidget *>{
                 window->Command3, window->Command6, window->Command7, window->Command9, window->Command12,
                 window->Label17, window->Label18, window->Label20, window->Label21})
            QVERIFY2(topmostAt(*window, underPhoto) == window->Picture1, qPrintable(underPhoto->objectName()));
        for (PictureButton *picture : window->pictureButtons()) {
            QPushButton *covered = picture->covered();
            QVERIFY2(picture->geometry().contains(covered->geometry()), qPrintable(covered->objectName()));
            QCOMPARE(topmostAt(*window, covered), picture->caption());
            QCOMPARE(picture->size(), QSize(87, 24));
            QCOMPARE(picture->pixmap().size(), QSize(87, 24));
        }
        for (QLabel *readout : {window->Label15, window->Label16, window->Label9})
            QCOMPARE(topmostAt(*window, readout), readout);
    }

    // Every caption the user sees fits its place, also the longest texts the
    // commands write.
    void everyCaptionFitsItsPlace()
    {
        Sandbox sandbox;
        ToolWindow window;
        window->Label19->setText(QStringLiteral("Verbunden mit COM  = 256"));
        window->Label16->setText(QStringLiteral("Seriennummer = 4294967295"));
        window->Label15->setText(QStringLiteral("FW Ver = 31.7"));
        int checked = 0;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (!control->isVisible() || captionOf(control).isEmpty()) continue;
            if (qobject_cast<QLineEdit *>(control) || qobject_cast<QComboBox *>(control)) continue;
            QWidget *top = topmostAt(*window, control);
            const bool inView = top == control || control->isAncestorOf(top) ||
                                qobject_cast<CaptionLabel *>(control) != nullptr || qobject_cast<QGroupBox *>(control);
            if (!inView) continue;
            const QFontMetrics metrics(control->font());
            const QString text = captionOf(control);
            QRect room = control->rect();
            if (auto *wrapped = qobject_cast<WrappedCheckBox *>(control))
                room = wrapped->captionRect();
            else if (auto *caption = qobject_cast<CaptionLabel *>(control))
                room = QRect(-caption->pos(), caption->parentWidget()->size()).intersected(caption->rect());
            else if (qobject_cast<QAbstractButton *>(control))
                room.setWidth(control->width() - 20);  // the box

            const bool wraps = qobject_cast<WrappedCheckBox *>(control) ||
                               (qobject_cast<QLabel *>(control) && static_cast<QLabel *>(control)->wordWrap());
            const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 1000),
                                                      wraps ? Qt::TextWordWrap : Qt::TextSingleLine, text);
            QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
                     qPrintable(QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
                                    .arg(control->objectName(), text)
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(room.width())
                                    .arg(room.height())));
            ++checked;
        }
        QVERIFY(checked > 25);
    }

    void pictureButtonFaces_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("button");
        for (const char *picture : {"Picture7", "Picture8", "Picture6", "Picture9", "Picture5", "Picture2"})
            for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
                QTest::addRow("%s %s", picture, button == Qt::LeftButton ? "left" : "right")
                    << QString::fromLatin1(picture) << int(button);
    }

    // Any mouse button shows the pressed face while it is held; only a left
    // click runs the command.
    void pictureButtonFaces()
    {
        QFETCH(QString, picture);
        QFETCH(int, button);
        Sandbox sandbox;
        ToolWindow window;
        auto *pictureButton = window->findChild<PictureButton *>(picture);
        QVERIFY(pictureButton != nullptr);
        int runs = 0;
        window->setCommandAction(pictureButton->covered(), [&runs] { ++runs; });
        pictureButton->covered()->setEnabled(true);
        const auto face = [&] { return pictureButton->pixmap().cacheKey(); };
        const qint64 released = window->Picture4->pixmap().cacheKey();
        const qint64 pressed = window->Picture3->pixmap().cacheKey();
        QCOMPARE(face(), released);

        QTest::mousePress(pictureButton->caption(), Qt::MouseButton(button));
        QVERIFY(pictureButton->showsPressedFace());
        QCOMPARE(face(), pressed);
        QCOMPARE(runs, 0);
        QTest::mouseRelease(pictureButton->caption(), Qt::MouseButton(button));
        QVERIFY(!pictureButton->showsPressedFace());
        QCOMPARE(face(), released);
        QVERIFY(window.waitForIdle());
        QCOMPARE(runs, button == Qt::LeftButton ? 1 : 0);
    }

    // "Log Auslesen", "Wayfolk leeren" and "Einst. Speichern" act only while
    // their command button is enabled; the other three act on every click.
    void pictureButtonConditions()
    {
        Sandbox sandbox;
        ToolWindow window;
        std::map<QPushButton *, int> runs;
        for (PictureButton *picture : window->pictureButtons())
            window->setCommandAction(picture->covered(), [&runs, picture] { ++runs[picture->covered()]; });
        const auto clickAll = [&] {
            for (PictureButton *picture : window->pictureButtons()) window.click(picture);
        };

        clickAll();  // before connecting
        QCOMPARE(runs[window->Command1], 1);
        QCOMPARE(runs[window->Command11], 1);
        QCOMPARE(runs[window->Command13], 1);
        QCOMPARE(runs[window->Command5], 0);
        QCOMPARE(runs[window->Command4], 0);
        QCOMPARE(runs[window->Command8], 0);

        // As after a connection: the connect buttons off, the device commands on.
        for (QPushButton *command : {window->Command1, window->Command11}) command->setEnabled(false);
        for (QPushButton *command : {window->Command5, window->Command4, window->Command8}) command->setEnabled(true);
        clickAll();
        for (PictureButton *picture : window->pictureButtons())
            QVERIFY2(runs[picture->covered()] >= 1, qPrintable(picture->objectName()));
        QCOMPARE(runs[window->Command1], 2);
        QCOMPARE(runs[window->Command5], 1);
    }

    // "Fertig ausgelesen" does not wait for OK: a close asked for meanwhile
    // is not held up, and the box goes with the window.
    void finishedNoticeDoesNotBlockClosing()
    {
        Sandbox sandbox;
        ToolWindow window;
        StandardDialogs().notice(&*window, QStringLiteral("Fertig ausgelesen"));
        const QPointer<QMessageBox> box = window->findChild<QMessageBox *>();
        QVERIFY(box != nullptr);
        QTRY_VERIFY(box->isVisible());
        QVERIFY(window.close());
        QVERIFY(!window->isVisible());
        QVERIFY(box.isNull() || !box->isVisible());
    }

    void browseFolder()
    {
        Sandbox sandbox;
        {
            ToolWindow window;
            window.dialogs.folderToChoose = QStringLiteral("/data/chosen");
            window.click(window->Picture5);  // before connecting, too
            QCOMPARE(window.dialogs.folderDialogs, 1);
            QCOMPARE(window.dialogs.folderDialogStart, sandbox.home() + QStringLiteral("/Wayfolk"));
            QCOMPARE(window->Text1->text(), QStringLiteral("/data/chosen"));

            // The dialog opens in the folder the field names; cancelling keeps the field.
            window.dialogs.folderToChoose.clear();
            window.click(window->Picture5);
            QCOMPARE(window.dialogs.folderDialogStart, QStringLiteral("/data/chosen"));
            QCOMPARE(window->Text1->text(), QStringLiteral("/data/chosen"));
            window->Text1->setText(QString());  // emptied by hand
            QVERIFY(window.close());
        }
        QVERIFY(readAll(sandbox.optionsFile()).endsWith(" 0\r\n\r\n"));
        ToolWindow again;  // the empty folder gives way to the default
        QCOMPARE(again->Text1->text(), sandbox.home() + QStringLiteral("/Wayfolk"));
    }

    // Tab reaches the maintenance buttons under the photo; Space presses one.
    void tabReachesMaintenanceButtons()
    {
        Sandbox sandbox;
        ToolWindow window;
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&*window));
        window->Command1->setFocus();
        QList<QWidget *> stops;
        for (int i = 0; i < 40; ++i) {
            stops << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        const QList<QWidget *> first = {window->Command1,  window->Command3,  window->Combo1,
                                        window->Command6,  window->Command7,  window->Command9,
                                        window->Command11, window->Command12, window->Text1};
        QCOMPARE(stops.mid(0, first.size()), first);
        for (QWidget *never : std::initializer_list<QWidget *>{window->Command2, window->Command5, window->Command10,
                                                               window->Command14, window->Picture1, window->Check5})
            QVERIFY2(!stops.contains(never), qPrintable(never->objectName()));

        window->Command9->setFocus();
        QTest::keyClick(window->Command9, Qt::Key_Space);
        QVERIFY(window.waitForIdle());
        QCOMPARE(window->statusLine()->text(), QStringLiteral("DLL Version = 1.5"));
    }

    // The status line names the hidden button that has the keyboard focus,
    // and lets go of it when the focus moves on to a visible control.
    void focusedHiddenButtonIsNamed()
    {
        Sandbox sandbox;
        ToolWindow window;
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&*window));
        for (QPushButton *button :
             {window->Command3, window->Command6, window->Command7, window->Command9, window->Command12}) {
            button->setFocus();
            QCOMPARE(window->statusLine()->text(),
                     QStringLiteral("Tastaturfokus: „%1“ (unter dem Foto), die Leertaste drückt die Taste.")
                         .arg(button->text()));
        }
        window->Text1->setFocus();
        QCOMPARE(window->statusLine()->text(), QString());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
