// "LOG Auslesen" in the window against the simulated logger: the files of a
// readout, the NMEA and mark files, the GPSBabel runs (recorded, and once for
// real), the failures, the progress of a paced download, and the erase.
#include "tool_fixture.h"

#include "conversion/readout_staging.h"
#include "conversion/track_conversion.h"
#include "picture_button.h"
#include "sim/track_generator.h"
#include "status_line.h"
#include "support/gpx_points.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cmath>

using namespace wayfolk;
using namespace wayfolk::testing;
using trk7700::sim::Fault;
using trk7700::sim::FaultKind;
using trk7700::sim::TrackPoint;

namespace {

constexpr int kDumpLog = 0x60;
constexpr int kErase = 0x61;
constexpr int kNoMark = 0xFF;

struct Launch {
    std::string program;
    std::vector<std::string> arguments;
};

// Records what would be started instead of starting it.
class RecordingLauncher : public trk7700::client::ProgramLauncher {
public:
    bool startDetached(const std::string &program, const std::vector<std::string> &arguments, std::string &) override
    {
        launches.push_back({program, arguments});
        return true;
    }
    std::vector<Launch> launches;
};

// The GPSBabel command line for one format, as the readout must build it.
Launch gpsBabel(const QString &input, const char *format, const QString &output)
{
    return {"gpsbabel",
            {"-p", "", "-w", "-i", "nmea", "-f", input.toStdString(), "-o",
             trk7700::client::gpsBabelOutputFormat(format), "-F", output.toStdString()}};
}

bool operator==(const Launch &a, const Launch &b) { return a.program == b.program && a.arguments == b.arguments; }

char *toString(const std::vector<Launch> &launches)
{
    QStringList text;
    for (const Launch &launch : launches) {
        QStringList words{QString::fromStdString(launch.program)};
        for (const auto &argument : launch.arguments)
            words << QStringLiteral("'%1'").arg(QString::fromStdString(argument));
        text << words.join(' ');
    }
    return qstrdup(qPrintable(text.join(QStringLiteral(" | "))));
}

// One record per mark (kNoMark for none), in slots 0.. of an otherwise erased log.
std::vector<uint8_t> logWithMarks(const std::vector<int> &marks)
{
    std::vector<uint8_t> image(trk7700::sim::kLogImageSize, 0xFF);
    for (size_t i = 0; i < marks.size(); ++i) {
        const TrackPoint point{48.137 + 0.001 * static_cast<double>(i),
                               11.575,
                               1780000000 + 5 * static_cast<int64_t>(i),
                               520,
                               12,
                               marks[i]};
        trk7700::sim::encodeRecord(point, image.data() + 16 * i);
    }
    return image;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a text file, each of which must end in CR LF.
QStringList crlfLines(const QString &path)
{
    QString text = QString::fromLatin1(readAll(path));
    if (!text.isEmpty() && !text.endsWith(QStringLiteral("\r\n"))) return {QStringLiteral("<no CR LF at the end>")};
    text.chop(2);
    return text.isEmpty() && !QFile::exists(path) ? QStringList() : text.split(QStringLiteral("\r\n"));
}

QString joined(const QList<int> &numbers)
{
    QStringList words;
    for (int number : numbers) words << QString::number(number);
    return words.join(',');
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

// The files of an earlier readout in the folder, each with content of its own.
std::map<QString, QByteArray> writeEarlierReadout(const QString &folder, const QStringList &names)
{
    QDir().mkpath(folder);
    std::map<QString, QByteArray> files;
    for (const QString &name : names) {
        files[name] = "earlier " + name.toLatin1() + "\r\n";
        writeAll(folder + "/" + name, files[name]);
    }
    return files;
}

// Every file of the folder, by name, with its bytes.
std::map<QString, QByteArray> folderContents(const QString &folder)
{
    std::map<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        files[name] = readAll(folder + "/" + name);
    return files;
}

QStringList markFilesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("wayfolk(TAG*")}, QDir::Files, QDir::Name);
}

// A connected window on COM3 with a recording launcher and its target folder
// in the sandbox.
class Readout {
public:
    Readout()
    {
        window->setProgramLauncher(launcher);
        window->Text1->setText(folder);
    }

    bool connect()
    {
        window.selectPort(3);
        window.click(window->Picture7);
        return window->Command5->isEnabled() && window.dialogs.messages.isEmpty();
    }

    void checkFormats(bool kml, bool plt, bool gpx)
    {
        window->Check2->setChecked(kml);
        window->Check3->setChecked(plt);
        window->Check4->setChecked(gpx);
    }

    void setLog(std::vector<uint8_t> image)
    {
        logger->withState([&](trk7700::sim::DeviceState &state) { state.logImage = std::move(image); });
    }

    Sandbox sandbox;
    std::unique_ptr<trk7700::sim::SimulatedLogger> logger = sandbox.startLogger(3);
    ToolWindow window;
    RecordingLauncher launcher;
    QString folder = sandbox.home() + QStringLiteral("/Tracks");
};

// The track points of GPSBabel's KML: a time and a position per point.
struct KmlPoint {
    double latitude, longitude;
    std::string time;
};

std::vector<KmlPoint> kmlTrackPoints(const std::string &kml)
{
    // Each track is one timed line: its times (<when>) first, then its
    // positions (<gx:coord>longitude latitude altitude), in the same order.
    std::vector<KmlPoint> points;
    size_t at = 0;
    while ((at = kml.find("<gx:Track>", at)) != std::string::npos) {
        const size_t end = kml.find("</gx:Track>", at);
        const std::string track = kml.substr(at, end - at);
        at = end;
        std::vector<std::string> times;
        for (size_t w = track.find("<when>"); w != std::string::npos; w = track.find("<when>", w + 1))
            times.push_back(track.substr(w + 6, track.find("</when>", w) - w - 6));
        size_t i = 0;
        for (size_t c = track.find("<gx:coord>"); c != std::string::npos; c = track.find("<gx:coord>", c + 1), ++i) {
            double longitude = 0, latitude = 0;
            std::sscanf(track.c_str() + c + 10, "%lf %lf", &longitude, &latitude);
            points.push_back({latitude, longitude, i < times.size() ? times[i] : std::string()});
        }
    }
    return points;
}

// The track points of an OziExplorer PLT file: six header lines, then
// latitude, longitude, segment flag, altitude in feet, days since 1899-12-30.
struct PltPoint {
    double latitude, longitude, days;
};

std::vector<PltPoint> pltTrackPoints(const std::string &plt)
{
    std::vector<PltPoint> points;
    size_t start = 0;
    int line = 0;
    while (start < plt.size()) {
        size_t end = plt.find('\n', start);
        if (end == std::string::npos) end = plt.size();
        if (++line > 6) {
            PltPoint point{};
            int flag = 0;
            double feet = 0;
            if (std::sscanf(plt.c_str() + start, "%lf,%lf,%d,%lf,%lf", &point.latitude, &point.longitude, &flag, &feet,
                            &point.days) == 5)
                points.push_back(point);
        }
        start = end + 1;
    }
    return points;
}

}  // namespace

class ReadoutTest : public QObject {
    Q_OBJECT

public slots:
    // The system's browser, as the map page would be handed to it.
    void recordUrl(const QUrl &url) { opened_.append(url); }

private:
    QList<QUrl> opened_;

private slots:
    // The date stamp goes into Label29 and, with Check7, into every file name.
    void fileNames_data()
    {
        QTest::addColumn<bool>("dateInName");
        QTest::newRow("Check7 unchecked") << false;
        QTest::newRow("Check7 checked") << true;
    }

    void fileNames()
    {
        QFETCH(bool, dateInName);
        Readout readout;
        readout.setLog(logWithMarks({kNoMark, kNoMark}));
        QVERIFY(readout.connect());
        readout.checkFormats(true, true, true);
        readout.window->Check7->setChecked(dateInName);
        readout.window.click(readout.window->Picture6);

        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        const QString stamp = readout.window->Label29->text();
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d_\\d\\d-\\d{1,2}_\\d\\d_\\d\\d$")).match(stamp).hasMatch(),
                 qPrintable(stamp));
        const QString base = readout.folder + QStringLiteral("/Wayfolk") + (dateInName ? stamp : QString());
        QVERIFY(QFile::exists(base + ".txt"));
        QCOMPARE(crlfLines(base + ".nmea").size(), 4);
        QVERIFY(QFile::exists(base + ".html"));
        QCOMPARE(QDir(readout.folder).entryList(QDir::Files).size(), 3);  // nothing else left behind
        QCOMPARE(readout.launcher.launches, (std::vector<Launch>{gpsBabel(base + ".nmea", "kml", base + ".kml"),
                                                                 gpsBabel(base + ".nmea", "ozi", base + ".plt"),
                                                                 gpsBabel(base + ".nmea", "gpx", base + ".gpx")}));
        QVERIFY(readout.window->statusLine()->text().startsWith(QStringLiteral("Fertig ausgelesen: 2 Punkte in ")));
        QCOMPARE(readout.window->statusLine()->progress(), -1);
    }

    // GPSBabel runs once per checked format, in the order KML, PLT, GPX; grey counts as unchecked.
    void gpsBabelPerFormat_data()
    {
        QTest::addColumn<int>("kml");
        QTest::addColumn<int>("plt");
        QTest::addColumn<int>("gpx");
        QTest::addColumn<QStringList>("formats");
        QTest::newRow("none") << 0 << 0 << 0 << QStringList();
        QTest::newRow("Google Earth") << 2 << 0 << 0 << QStringList{"kml"};
        QTest::newRow("Ozi Explorer") << 0 << 2 << 0 << QStringList{"ozi"};
        QTest::newRow("GPX") << 0 << 0 << 2 << QStringList{"gpx"};
        QTest::newRow("Google Earth and GPX") << 2 << 0 << 2 << QStringList{"kml", "gpx"};
        QTest::newRow("grey Ozi Explorer") << 0 << 1 << 2 << QStringList{"gpx"};
    }

    void gpsBabelPerFormat()
    {
        QFETCH(int, kml);
        QFETCH(int, plt);
        QFETCH(int, gpx);
        QFETCH(QStringList, formats);
        Readout readout;
        QVERIFY(readout.connect());
        for (auto [box, state] :
             {std::pair{readout.window->Check2, kml}, {readout.window->Check3, plt}, {readout.window->Check4, gpx}}) {
            box->setTristate(state == Qt::PartiallyChecked);
            box->setCheckState(Qt::CheckState(state));
        }
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        const QString base = readout.folder + QStringLiteral("/Wayfolk");
        const std::map<QString, QString> extension{{"kml", ".kml"}, {"ozi", ".plt"}, {"gpx", ".gpx"}};
        std::vector<Launch> expected;
        for (const QString &format : formats)
            expected.push_back(gpsBabel(base + ".nmea", qPrintable(format), base + extension.at(format)));
        QCOMPARE(readout.launcher.launches, expected);
    }

    // Records marked 5, 5, 7, 5: each mark file holds its latest run only.
    void markRuns_data()
    {
        QTest::addColumn<bool>("perMark");
        QTest::newRow("Check8 checked") << true;
        QTest::newRow("Check8 unchecked") << false;
    }

    void markRuns()
    {
        QFETCH(bool, perMark);
        Readout readout;
        readout.setLog(logWithMarks({5, 5, 7, 5}));
        QVERIFY(readout.connect());
        readout.window->Check8->setChecked(perMark);
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});

        const QStringList whole = crlfLines(readout.folder + "/Wayfolk.nmea");
        QCOMPARE(whole.size(), 8);
        for (int i = 0; i < whole.size(); ++i)
            QVERIFY2(whole[i].startsWith(i % 2 == 0 ? "$GPGGA," : "$GPRMC,"), qPrintable(whole[i]));
        if (!perMark) {
            QCOMPARE(markFilesIn(readout.folder), QStringList());
            return;
        }
        QCOMPARE(markFilesIn(readout.folder), (QStringList{"wayfolk(TAG--5).nmea", "wayfolk(TAG--7).nmea"}));
        QCOMPARE(crlfLines(readout.folder + "/wayfolk(TAG--5).nmea"), whole.mid(6, 2));
        QCOMPARE(crlfLines(readout.folder + "/wayfolk(TAG--7).nmea"), whole.mid(4, 2));
    }

    // An erased logger: an empty NMEA file, no mark file, GPSBabel still started.
    void emptyLog()
    {
        Readout readout;
        QVERIFY(readout.connect());
        readout.checkFormats(true, true, true);
        readout.window->Check8->setChecked(true);
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        QVERIFY(QFile::exists(readout.folder + "/Wayfolk.nmea"));
        QCOMPARE(readAll(readout.folder + "/Wayfolk.nmea"), QByteArray());
        QCOMPARE(crlfLines(readout.folder + "/Wayfolk.txt").size(), 2);  // the two header lines
        QCOMPARE(markFilesIn(readout.folder), QStringList());
        QCOMPARE(readout.launcher.launches.size(), size_t{3});
    }

    // A readout with records writes the map page beside its files, names it
    // with the trips, points and distance in the status line, and "Karte"
    // (disabled until then) opens it with the system's browser.
    void mapPage()
    {
        Readout readout;
        readout.setLog(logWithMarks({kNoMark, kNoMark}));
        QVERIFY(readout.connect());
        QVERIFY(!readout.window->mapButton()->isEnabled());
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        const QString page = readout.folder + QStringLiteral("/Wayfolk.html");
        QVERIFY(readAll(page).contains("<html"));
        const QString status = readout.window->statusLine()->text();
        QVERIFY2(status.contains(QStringLiteral(" Punkte, ")) &&
                     status.endsWith(QStringLiteral(" · Karte: Wayfolk.html")),
                 qPrintable(status));
        QVERIFY(readout.window->mapButton()->isEnabled());
        opened_.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
        QTest::mouseClick(readout.window->mapButton(), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(page)});
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
    }

    // An empty logger never replaces a track: whichever file of the same
    // names lies in the folder, every file stays byte for byte, nothing is
    // converted and GPSBabel is not started.
    void emptyReadoutKeepsEarlierFiles_data()
    {
        QTest::addColumn<QStringList>("earlier");
        QTest::newRow("a whole earlier readout") << QStringList{"Wayfolk.txt", "Wayfolk.nmea", "wayfolk(TAG--5).nmea",
                                                                "Wayfolk.kml", "Wayfolk.plt",  "Wayfolk.gpx"};
        QTest::newRow("the text alone") << QStringList{"Wayfolk.txt"};
        QTest::newRow("the NMEA file alone") << QStringList{"Wayfolk.nmea"};
        QTest::newRow("a mark file alone") << QStringList{"wayfolk(TAG-42).nmea"};
        QTest::newRow("the GPX file alone") << QStringList{"Wayfolk.gpx"};
    }

    void emptyReadoutKeepsEarlierFiles()
    {
        QFETCH(QStringList, earlier);
        Readout readout;
        const auto before = writeEarlierReadout(readout.folder, earlier);
        QVERIFY(readout.connect());
        readout.checkFormats(true, true, true);
        readout.window->Check8->setChecked(true);
        readout.window.click(readout.window->Picture6);

        const QString kept = QString::fromUtf8(trk7700::client::kEmptyLoggerKeptFiles);
        QCOMPARE(kept, QStringLiteral("Der Logger enthält keine Daten; die vorhandenen Dateien bleiben erhalten."));
        QCOMPARE(readout.window.dialogs.messages, QStringList{kept});
        QCOMPARE(readout.window->statusLine()->text(), kept);
        QCOMPARE(folderContents(readout.folder), before);  // nothing staged or raw left behind either
        QVERIFY(readout.launcher.launches.empty());
        // An empty logger was read out whole: erasing it loses nothing.
        readout.window.click(readout.window->Picture9);
        QCOMPARE(readout.window.dialogs.questions.last().text, QStringLiteral("Alle Daten im Wayfolk löschen?"));
    }

    // The track text cannot take its name: said in words, the data read
    // stays under the staging name, the earlier files stay as they were.
    void readoutThatCannotBePlaced()
    {
        Readout readout;
        readout.setLog(logWithMarks({kNoMark, kNoMark}));
        const auto before = writeEarlierReadout(readout.folder, {"Wayfolk.nmea"});
        QVERIFY(QDir().mkpath(readout.folder + "/Wayfolk.txt/besetzt"));  // a folder in the text's place
        QVERIFY(readout.connect());
        readout.checkFormats(false, false, true);
        readout.window.click(readout.window->Picture6);

        const QString staged = readout.folder + "/Wayfolk.txt.partial";
        QCOMPARE(readout.window.dialogs.messages.size(), 1);
        const QString &message = readout.window.dialogs.messages[0];
        QVERIFY2(message.startsWith(QStringLiteral("Die ausgelesene Textdatei kann nicht abgelegt werden (")) &&
                     message.contains(staged),
                 qPrintable(message));
        QCOMPARE(crlfLines(staged).size(), 2 + 4);
        QCOMPARE(readAll(readout.folder + "/Wayfolk.nmea"), before.at("Wayfolk.nmea"));
        QVERIFY(readout.launcher.launches.empty());
    }

    // Closing during a download says at once that the window waits for it;
    // the readout then ends with its conversion, so that the new text never
    // lies beside the NMEA and GPX files of an earlier one.
    void closingDuringReadout()
    {
        Readout readout;
        readout.setLog(logWithMarks({kNoMark, 4, 4}));
        writeEarlierReadout(readout.folder, {"Wayfolk.txt", "Wayfolk.nmea", "Wayfolk.gpx"});
        QVERIFY(readout.connect());
        readout.checkFormats(false, false, true);
        readout.logger->setBaudRate(16'000'000);  // about 2.5 s for the log memory
        readout.window->runCommand(readout.window->Command5);
        QTRY_VERIFY(readout.window->statusLine()->progress() > 0);

        readout.window.dialogs.answer = Answer::no;  // let it finish
        readout.window->close();
        QCOMPARE(readout.window.dialogs.questions.size(), 1);
        QVERIFY(readout.window.dialogs.questions[0].text.startsWith(QStringLiteral("Der Download läuft noch.")));
        QCOMPARE(readout.window.dialogs.questions[0].defaultAnswer, Answer::no);
        const QString note =
            QStringLiteral("Das Fenster schließt sich, sobald der Download beendet und umgewandelt ist.");
        QVERIFY2(readout.window->statusLine()->text().endsWith(note), qPrintable(readout.window->statusLine()->text()));
        QTest::qWait(300);
        QVERIFY(readout.window->isVisible());
        QVERIFY2(readout.window->statusLine()->text().endsWith(note), qPrintable(readout.window->statusLine()->text()));

        QTRY_VERIFY_WITH_TIMEOUT(!readout.window->isVisible(), 60000);
        QCOMPARE(readout.window.dialogs.messages, QStringList());  // no box holds the close up
        QCOMPARE(readout.window.programEnds, 0);
        const QStringList text = crlfLines(readout.folder + "/Wayfolk.txt");
        QCOMPARE(text.size(), 2 + 6);
        QStringList sentences;
        for (const QString &line : text.mid(2)) sentences << line.mid(4);
        QCOMPARE(crlfLines(readout.folder + "/Wayfolk.nmea"), sentences);
        QCOMPARE(readout.launcher.launches, (std::vector<Launch>{gpsBabel(readout.folder + "/Wayfolk.nmea", "gpx",
                                                                          readout.folder + "/Wayfolk.gpx")}));
        QCOMPARE(QDir(readout.folder).entryList(QDir::Files),
                 (QStringList{"Wayfolk.gpx", "Wayfolk.html", "Wayfolk.nmea", "Wayfolk.txt"}));
        QTRY_COMPARE(exitRequests(*readout.logger), 1);
        QVERIFY(QFile::exists(readout.sandbox.optionsFile()));
    }

    // Closing during a download, choosing to stop it: the program ends at
    // once and the earlier readout's files stay as they were.
    void closingDuringReadoutCanStopIt()
    {
        Readout readout;
        readout.setLog(logWithMarks({kNoMark, 4, 4}));
        const auto earlier = writeEarlierReadout(readout.folder, {"Wayfolk.txt", "Wayfolk.nmea", "Wayfolk.gpx"});
        QVERIFY(readout.connect());
        readout.logger->setBaudRate(16'000'000);
        readout.window->runCommand(readout.window->Command5);
        QTRY_VERIFY(readout.window->statusLine()->progress() > 0);

        readout.window.dialogs.answer = Answer::yes;
        readout.window->close();
        QCOMPARE(readout.window.programEnds, 1);
        for (const auto &[name, content] : earlier) QCOMPARE(readAll(readout.folder + "/" + name), content);
        QVERIFY(!QFile::exists(readout.folder + "/Wayfolk.txt.partial"));
        // (Here the program would be gone; the test lets the library finish before it cleans up.)
        QVERIFY(readout.window.waitForIdle(60000));
    }

    void unmarkedLogMakesNoMarkFile()
    {
        Readout readout;
        readout.setLog(logWithMarks({kNoMark, kNoMark, kNoMark}));
        QVERIFY(readout.connect());
        readout.window->Check8->setChecked(true);
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        QCOMPARE(crlfLines(readout.folder + "/Wayfolk.nmea").size(), 6);
        QCOMPARE(markFilesIn(readout.folder), QStringList());
    }

    // A folder typed with a closing '/' is passed on as typed: "//" before the
    // file names, which the system takes as one.
    void folderEndingInSeparator()
    {
        Readout readout;
        readout.setLog(logWithMarks({3}));
        QVERIFY(readout.connect());
        readout.checkFormats(false, false, true);
        readout.window->Check8->setChecked(true);
        readout.window->Text1->setText(readout.folder + "/");
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        QCOMPARE(readout.launcher.launches, (std::vector<Launch>{gpsBabel(readout.folder + "//Wayfolk.nmea", "gpx",
                                                                          readout.folder + "//Wayfolk.gpx")}));
        QCOMPARE(crlfLines(readout.folder + "/Wayfolk.nmea").size(), 2);
        QCOMPARE(crlfLines(readout.folder + "/wayfolk(TAG--3).nmea").size(), 2);
    }

    // A new folder some levels deep is made whole (the library makes only the
    // last one); one that cannot be made is told, and nothing is read.
    void targetFolder()
    {
        Readout readout;
        readout.setLog(logWithMarks({kNoMark}));
        QVERIFY(readout.connect());
        const QString nested = readout.folder + QStringLiteral("/2026/Mai");
        readout.window->Text1->setText(nested);
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        QCOMPARE(crlfLines(nested + "/Wayfolk.nmea").size(), 2);

        readout.window.dialogs.messages.clear();
        readout.logger->clearReceived();
        const QString belowAFile = nested + QStringLiteral("/Wayfolk.nmea/unter");
        readout.window->Text1->setText(belowAFile);
        readout.window.click(readout.window->Picture6);
        QCOMPARE(readout.window.dialogs.messages,
                 QStringList{"Der Ordner " + belowAFile + " kann nicht angelegt werden. Es wurde nichts ausgelesen."});
        QVERIFY(commandCodes(*readout.logger).empty());
    }

    // A failed download is told by number and name; the text file of an
    // earlier readout is not converted and GPSBabel is not started.
    void failedDownload_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("message");
        QTest::newRow("12: the logger sends nothing") << true << "12 return_device_time_out";
        QTest::newRow("26: not connected") << false << "26 return_not_dump_mode";
    }

    void failedDownload()
    {
        QFETCH(bool, connected);
        QFETCH(QString, message);
        Readout readout;
        QVERIFY(QDir().mkpath(readout.folder));
        QFile earlier(readout.folder + "/Wayfolk.txt");
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("header 1\r\nheader 2\r\n---,$GPGGA,earlier*00\r\n");
        earlier.close();
        if (connected) QVERIFY(readout.connect());
        readout.checkFormats(true, true, true);
        readout.logger->setFaults({Fault{FaultKind::silence, kDumpLog}});
        readout.window.run(readout.window->Command5);

        QCOMPARE(readout.window.dialogs.messages, QStringList{message});
        QVERIFY(!QFile::exists(readout.folder + "/Wayfolk.nmea"));
        QVERIFY(readout.launcher.launches.empty());
        QCOMPARE(readAll(readout.folder + "/Wayfolk.txt"),
                 QByteArray("header 1\r\nheader 2\r\n---,$GPGGA,earlier*00\r\n"));
        QVERIFY(!QFile::exists(readout.folder + "/Wayfolk.txt.partial"));
        QCOMPARE(readout.window->statusLine()->progress(), -1);
        QVERIFY(!readout.window->statusLine()->busy());
    }

    // The conversion step on its own (the hidden Command14) without a text file.
    void conversionWithoutTextFile()
    {
        Readout readout;
        readout.checkFormats(true, true, true);
        readout.window.run(readout.window->Command14);
        QCOMPARE(readout.window.dialogs.messages, QStringList{"Die Textdatei " + readout.folder +
                                                              "/Wayfolk.txt ist nicht vorhanden. Es wurde nichts "
                                                              "umgewandelt."});
        QVERIFY(!QFile::exists(readout.folder + "/Wayfolk.nmea"));
        QVERIFY(readout.launcher.launches.empty());
    }

    // Without GPSBabel on the PATH: one message that names the program and
    // the package, not one per format; the NMEA files are still made.
    void gpsBabelMissing()
    {
        Readout readout;
        trk7700::client::DetachedLauncher detached;
        readout.window->setProgramLauncher(detached);
        QVERIFY(readout.connect());
        readout.checkFormats(true, true, true);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(readout.sandbox.work()));
        readout.window.click(readout.window->Picture6);
        qputenv("PATH", path);

        const QStringList &messages = readout.window.dialogs.messages;
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages[0].contains("\"gpsbabel\"") && messages[0].contains("Debian-Paket"), qPrintable(messages[0]));
        QCOMPARE(messages[1], QStringLiteral("Fertig ausgelesen"));
        QVERIFY(QFile::exists(readout.folder + "/Wayfolk.nmea"));
    }

    // A download paced to last a few seconds: the bar moves with the bytes
    // received, the text gives the time elapsed and left, the window keeps
    // handling events. The folder is relative to the tool's current directory,
    // which the library moves while it works.
    void progressDuringDownload()
    {
        Readout readout;
        QVERIFY(readout.connect());
        readout.window->Text1->setText(QStringLiteral("Ausgabe"));
        readout.logger->setBaudRate(16'000'000);  // 1.6 MB/s: about 2.5 s for the log memory
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QElapsedTimer clock;
        clock.start();

        readout.window->runCommand(readout.window->Command5);
        QList<int> seen;
        QStringList texts;
        while (readout.window->commandRunning() && clock.elapsed() < 120000) {
            const int progress = readout.window->statusLine()->progress();
            if (progress >= 0 && (seen.isEmpty() || seen.last() != progress)) seen << progress;
            const QString text = readout.window->statusLine()->text();
            if (texts.isEmpty() || texts.last() != text) texts << text;
            QTest::qWait(20);
        }
        const qint64 took = clock.elapsed();
        QVERIFY(!readout.window->commandRunning());

        QCOMPARE(readout.window.dialogs.messages, QStringList{"Fertig ausgelesen"});
        QVERIFY(QFile::exists(readout.sandbox.work() + "/Ausgabe/Wayfolk.nmea"));
        const auto between = std::count_if(seen.begin(), seen.end(), [](int p) { return p > 0 && p < 100; });
        QVERIFY2(between >= 3, qPrintable(QStringLiteral("progress seen: ") + joined(seen)));
        QVERIFY2(std::is_sorted(seen.begin(), seen.end()), qPrintable(joined(seen)));
        const QRegularExpression timeLeft(QStringLiteral("^Lese Log\\.\\.\\. \\d+:\\d\\d, noch etwa \\d+:\\d\\d$"));
        const bool timeLeftShown = std::any_of(texts.begin(), texts.end(),
                                               [&](const QString &text) { return timeLeft.match(text).hasMatch(); });
        QVERIFY2(timeLeftShown, qPrintable(texts.join(QStringLiteral(" | "))));
        QVERIFY2(ticks > took / 10 / 3, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took)));
        QCOMPARE(readout.window->statusLine()->progress(), -1);
        QVERIFY(readout.window->statusLine()->text().startsWith(QStringLiteral("Fertig ausgelesen: 0 Punkte in ")));
    }

    void erase_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("message");
        QTest::newRow("13: erased") << true << false << "Daten im Wayfolk erfolgreich gelöscht";
        QTest::newRow("26: not connected") << false << false << "Nicht verbunden";
        QTest::newRow("12: no answer") << true << true << "Wayfolk Antwortet nicht";
    }

    // The three messages of "Wayfolk leeren". The logger that never answers
    // is waited for 80 of the library's seconds, which its quick clock shortens.
    void erase()
    {
        QFETCH(bool, connected);
        QFETCH(bool, silent);
        QFETCH(QString, message);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        logger->withState([](trk7700::sim::DeviceState &state) { state.logImage = logWithMarks({1, 2}); });
        ToolWindow window(silent ? quickClockLibrary() : library());
        if (connected) {
            window.selectPort(3);
            window.click(window->Picture7);
            QCOMPARE(window.dialogs.messages, QStringList());
        }
        if (silent) logger->setFaults({Fault{FaultKind::silence, kErase}});
        window.run(window->Command4);
        QCOMPARE(window.dialogs.messages, QStringList{message});
        QCOMPARE(logger->snapshot().erases, connected ? 1 : 0);
        QVERIFY(!window->statusLine()->busy());
    }

    // An erase that takes a while: a busy bar and the time elapsed.
    void eraseShowsElapsedTime()
    {
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        logger->withState([](trk7700::sim::DeviceState &state) { state.eraseMilliseconds = 2300; });
        ToolWindow window;
        window.selectPort(3);
        window.click(window->Picture7);
        window->runCommand(window->Command4);
        QVERIFY(window->statusLine()->busy());
        QTRY_COMPARE_WITH_TIMEOUT(window->statusLine()->text(), QStringLiteral("Lösche Daten im Wayfolk... 0:02"),
                                  10000);
        QVERIFY(window->statusLine()->busy());
        QVERIFY(window.waitForIdle());
        QCOMPARE(window.dialogs.messages, QStringList{"Daten im Wayfolk erfolgreich gelöscht"});
        QVERIFY(!window->statusLine()->busy());
    }

    // The whole road with the real GPSBabel: the KML, PLT and GPX files hold
    // every record of the logger's log with its position and time.
    void readoutWithGpsBabel()
    {
        const auto log = trk7700::sim::generateLog(trk7700::sim::LogShape::marks, 7);
        Sandbox sandbox;
        auto logger = sandbox.startLogger(3);
        logger->withState([&](trk7700::sim::DeviceState &state) { state.logImage = log.image; });
        ToolWindow window;
        const QString folder = sandbox.home() + QStringLiteral("/Tracks");
        window->Text1->setText(folder);
        window->Check2->setChecked(true);
        window->Check3->setChecked(true);
        window->Check4->setChecked(true);
        window.selectPort(3);
        window.click(window->Picture7);
        window.click(window->Picture6);
        QCOMPARE(window.dialogs.messages, QStringList{"Fertig ausgelesen"});

        // GPSBabel runs on its own; its files are complete when they close their last element.
        const size_t count = log.points.size();
        std::vector<trk7700::testing::GpxPoint> gpx;
        std::vector<KmlPoint> kml;
        std::vector<PltPoint> plt;
        const bool complete = QTest::qWaitFor(
            [&] {
                const std::string gpxText = readAll(folder + "/Wayfolk.gpx").toStdString();
                const std::string kmlText = readAll(folder + "/Wayfolk.kml").toStdString();
                if (gpxText.find("</gpx>") == std::string::npos || kmlText.find("</kml>") == std::string::npos)
                    return false;
                plt = pltTrackPoints(readAll(folder + "/Wayfolk.plt").toStdString());
                if (plt.size() < count) return false;
                gpx = trk7700::testing::gpxTrackPoints(gpxText);
                kml = kmlTrackPoints(kmlText);
                return true;
            },
            120000);
        QVERIFY2(complete, "GPSBabel did not finish the KML, PLT and GPX files (is the package gpsbabel installed?)");
        QCOMPARE(gpx.size(), count);
        QCOMPARE(kml.size(), count);
        QCOMPARE(plt.size(), count);
        constexpr double kNmeaResolution = 2e-6;  // degrees
        constexpr double kDaysFrom1899To1970 = 25569.0;
        for (size_t i = 0; i < count; ++i) {
            const TrackPoint &expected = log.points[i];
            const std::string time = trk7700::testing::isoUtcTime(expected.utcSeconds);
            const QByteArray where = QByteArray("record ") + QByteArray::number(qulonglong(i));
            QVERIFY2(std::abs(gpx[i].latitude - expected.latitude) < kNmeaResolution, where);
            QVERIFY2(std::abs(gpx[i].longitude - expected.longitude) < kNmeaResolution, where);
            QVERIFY2(gpx[i].time == time, where);
            QVERIFY2(std::abs(kml[i].latitude - expected.latitude) < kNmeaResolution, where);
            QVERIFY2(std::abs(kml[i].longitude - expected.longitude) < kNmeaResolution, where);
            QVERIFY2(kml[i].time == time, where);
            QVERIFY2(std::abs(plt[i].latitude - expected.latitude) < kNmeaResolution, where);
            QVERIFY2(std::abs(plt[i].longitude - expected.longitude) < kNmeaResolution, where);
            const double days = kDaysFrom1899To1970 + static_cast<double>(expected.utcSeconds) / 86400.0;
            QVERIFY2(std::abs(plt[i].days - days) < 1e-6, where);
        }
    }
};

QTEST_MAIN(ReadoutTest)
#include "readout_test.moc"
