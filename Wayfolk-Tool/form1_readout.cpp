// The log readout "LOG Auslesen" with its conversion step (the hidden
// Command14) and the erase "Daten im Wayfolk löschen". The download takes
// minutes: the status line shows the bytes received, the time elapsed and an
// estimate of the time left.
#include "binding/result_text.h"
#include "command_flow.h"
#include "conversion/readout_progress.h"
#include "conversion/readout_staging.h"
#include "conversion/track_conversion.h"
#include "form1.h"
#include "result_words.h"
#include "status_line.h"
#include "user_dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace wayfolk {

using trk7700::client::ConversionOutcome;
using trk7700::client::LinkCall;
using trk7700::client::ReadoutFiles;
using Binding = CommandFlow::Binding;

namespace {

// A check box counts only when checked; grey does not.
bool isSet(const QCheckBox *box) { return box->checkState() == Qt::Checked; }

QString shown(const std::string &path) { return QFile::decodeName(path.c_str()); }

QString duration(double seconds) { return QString::fromStdString(trk7700::client::formatDuration(seconds)); }

QString megabytes(uint64_t bytes)
{
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1).replace('.', ',');
}

// The download as the window shows it: the watcher says where it stands, the
// clock runs from the click.
struct DownloadWatch {
    explicit DownloadWatch(const ReadoutFiles &files) : watcher(files) {}
    trk7700::client::DownloadWatcher watcher;
    QElapsedTimer clock;
};

void showDownloadProgress(StatusLine &status, DownloadWatch &watch)
{
    using trk7700::client::DownloadPhase;
    using trk7700::client::kLogImageBytes;
    const auto seen = watch.watcher.look(watch.clock.elapsed() / 1000.0);
    const QString since = duration(seen.elapsedSeconds);
    switch (seen.phase) {
    case DownloadPhase::waitingForLogger:
        status.setProgress(0);
        status.setText(QStringLiteral("Warte auf den Logger... %1").arg(since));
        break;
    case DownloadPhase::receiving:
    case DownloadPhase::ordering:
        status.setProgress(seen.percent,
                           QStringLiteral("%p % · %1 von %2 MB").arg(megabytes(seen.bytes), megabytes(kLogImageBytes)));
        if (seen.phase == DownloadPhase::ordering)
            status.setText(QStringLiteral("Ordne die Aufzeichnungen... %1").arg(since));
        else if (seen.secondsLeft < 0)
            status.setText(QStringLiteral("Lese Log... %1").arg(since));
        else
            status.setText(QStringLiteral("Lese Log... %1, noch etwa %2").arg(since, duration(seen.secondsLeft)));
        break;
    case DownloadPhase::writingText:
        status.setProgress(100);
        status.setText(QStringLiteral("Schreibe die Textdatei... %1").arg(since));
        break;
    }
}

}  // namespace

ReadoutFiles Form1::readoutFilesNow() const
{
    const QString stamp = isSet(Check7) ? Label29->text() : QString();
    return trk7700::client::readoutFiles(QFile::encodeName(Text1->text()).toStdString(),
                                         QFile::encodeName(stamp).toStdString());
}

// The readout. Its files are fixed here: the window stays usable during the
// download, and a folder or date option changed meanwhile must not send the
// conversion to other files than the library writes. The library writes the
// text under a staging name, so that an empty logger cannot replace a track.
void Form1::Command5_Click()
{
    Label29->setText(QString::fromStdString(trk7700::client::makeDateStampNow()));
    const ReadoutFiles files = readoutFilesNow();
    auto watch = std::make_shared<DownloadWatch>(files);
    // The library makes only the last folder of the path and, failing that,
    // writes into the tool's own folder: the whole path is made here first.
    const QString folder = QFileInfo(shown(watch->watcher.rawFile())).absolutePath();
    if (!QDir().mkpath(folder)) {
        message(QStringLiteral("Der Ordner %1 kann nicht angelegt werden. Es wurde nichts ausgelesen.").arg(folder));
        return;
    }
    watch->clock.start();
    readoutClock_.start();
    statusLine_->setProgress(0);
    readoutRunning_ = true;
    // Closing the window meanwhile lets the readout end with its conversion,
    // so that the folder never holds a new text beside older NMEA and GPX files.
    flow_->finishEvenWhenClosing();
    const int32_t port = ComPort;
    flow_->call<LinkCall>(
        QStringLiteral("Warte auf den Logger..."),
        [port, path = trk7700::client::stagedTrackText(files)](Binding &library) { return library.dumpDb(port, path); },
        [this, files](const LinkCall &call) {
            statusLine_->setProgress(-1);
            if (call.result == return_dump_db_successful) {
                placeReadout(files);
                return;
            }
            // A failed download leaves the earlier files as they were.
            trk7700::client::discardStagedTrackText(files);
            readoutClock_.invalidate();
            if (!call.made()) return;  // the flow has told why
            message(QString::fromStdString(trk7700::client::resultText(call.result)));
            finishDeviceCommand(call.result, QString());
        },
        [this, watch] { showDownloadProgress(*statusLine_, *watch); });
}

void Form1::placeReadout(const ReadoutFiles &files)
{
    std::string error;
    switch (trk7700::client::placeStagedTrackText(files, error)) {
    case trk7700::client::StagedTextOutcome::placed: Command14_Click(files); return;
    case trk7700::client::StagedTextOutcome::emptyKeptEarlier: {
        readoutClock_.invalidate();
        readoutSinceConnect_ = connected_;
        const QString kept = QString::fromUtf8(trk7700::client::kEmptyLoggerKeptFiles);
        statusLine_->setText(kept);
        message(kept);
        return;
    }
    case trk7700::client::StagedTextOutcome::cannotPlace:
        readoutClock_.invalidate();
        message(QStringLiteral("Die ausgelesene Textdatei kann nicht abgelegt werden (%1). Die Daten liegen in %2; es "
                               "wurde nichts umgewandelt.")
                    .arg(shown(error), shown(trk7700::client::stagedTrackText(files))));
        return;
    }
}

// The conversion step: the NMEA files on the worker thread (a full log has
// half a million lines), then GPSBabel for each checked format.
void Form1::Command14_Click(const ReadoutFiles &files)
{
    const bool perMark = isSet(Check8);
    if (!flow_->closing()) statusLine_->setBusy();
    flow_->call<ConversionOutcome>(
        QStringLiteral("Schreibe die NMEA-Dateien..."),
        [files, perMark](Binding &) { return trk7700::client::convertTrackText(files, perMark); },
        [this, files](const ConversionOutcome &outcome) { conversionDone(files, outcome); });
}

void Form1::conversionDone(const ReadoutFiles &files, const ConversionOutcome &outcome)
{
    statusLine_->setProgress(-1);
    using Failure = ConversionOutcome::Failure;
    switch (outcome.failure) {
    case Failure::none: break;
    case Failure::trackTextMissing:
        message(QStringLiteral("Die Textdatei %1 ist nicht vorhanden. Es wurde nichts umgewandelt.")
                    .arg(shown(outcome.failedPath)));
        readoutClock_.invalidate();
        return;
    case Failure::nmeaNotWritable:
    case Failure::markFileNotWritable:
        message(QStringLiteral("Die Datei %1 kann nicht geschrieben werden. Bitte Ordner und freien Platz prüfen.")
                    .arg(shown(outcome.failedPath)));
        readoutClock_.invalidate();
        return;
    }
    startGpsBabel(files);
    // The readout of the connected logger is complete (not a conversion run on its own).
    if (readoutRunning_) readoutSinceConnect_ = connected_;
    const QString points = QStringLiteral("Fertig ausgelesen: %1 Punkte").arg(outcome.sentenceLines / 2);
    statusLine_->setText(readoutClock_.isValid()
                             ? QStringLiteral("%1 in %2").arg(points, duration(readoutClock_.elapsed() / 1000.0))
                             : points);
    readoutClock_.invalidate();
    message(QStringLiteral("Fertig ausgelesen"));
}

// Started and left to run; the files appear in the folder when it is done.
// A program that cannot be started is told once, not once per format.
void Form1::startGpsBabel(const ReadoutFiles &files)
{
    trk7700::client::ExportOptions options;
    options.kml = isSet(Check2);
    options.plt = isSet(Check3);
    options.gpx = isSet(Check4);
    bool told = false;
    for (const auto &run : trk7700::client::gpsBabelRuns(files, options)) {
        std::string error;
        // GPSBabel writes its file by name: nothing planted there may redirect it.
        trk7700::client::removePlantedEntry(run.output);
        if (launcher_->startDetached(trk7700::client::kGpsBabelProgram, run.arguments, error) || told) continue;
        told = true;
        message(QStringLiteral("Das Programm \"%1\" (GPSBabel) kann nicht gestartet werden, daher entstehen keine "
                               "KML-, PLT- oder GPX-Dateien. Bitte das Debian-Paket \"%2\" installieren "
                               "(sudo apt install %2).")
                    .arg(QString::fromLatin1(trk7700::client::kGpsBabelProgram),
                         QString::fromLatin1(trk7700::client::kGpsBabelPackage)));
    }
}

// Erasing cannot be undone: it is asked first, Nein being the default, and
// the question warns when the log was not read out since connecting.
void Form1::Command4_Click()
{
    QString question = QStringLiteral("Alle Daten im Wayfolk löschen?");
    if (!readoutSinceConnect_)
        question += QStringLiteral("\n\nDas Log wurde seit dem Verbinden nicht ausgelesen: seine Aufzeichnungen "
                                   "gehen verloren.");
    if (dialogs_.ask(this, question, Answer::no) != Answer::yes) {
        statusLine_->setText(QStringLiteral("Nicht gelöscht: die Daten im Wayfolk bleiben erhalten."));
        return;
    }
    eraseAfterQuestion();
}

void Form1::eraseAfterQuestion()
{
    const int32_t port = ComPort;
    flow_->call<LinkCall>(
        QStringLiteral("Lösche Daten im Wayfolk..."), [port](Binding &library) { return library.eraseAllDb(port); },
        [this](const LinkCall &call) {
            statusLine_->setProgress(-1);
            QString words;
            switch (call.result) {
            case return_erase_db_successful: message(QStringLiteral("Daten im Wayfolk erfolgreich gelöscht")); break;
            case return_not_dump_mode: message(QStringLiteral("Nicht verbunden")); break;
            case return_device_time_out: message(QStringLiteral("Wayfolk Antwortet nicht")); break;
            default:
                if (call.made())
                    words =
                        resultWords(call.result, QStringLiteral("Ob die Daten im Wayfolk gelöscht wurden, ist "
                                                                "unklar. Bitte neu verbinden und das Log auslesen."));
                break;
            }
            finishDeviceCommand(call.result, words);
        },
        showElapsedWhile(QStringLiteral("Lösche Daten im Wayfolk...")));
}

}  // namespace wayfolk
