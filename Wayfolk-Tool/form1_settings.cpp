// The settings page: the read-back that follows every connection and the
// store. The page shows speeds in km/h; the logger counts knots.
#include "binding/result_text.h"
#include "command_flow.h"
#include "conversion/settings_fields.h"
#include "fixed_places.h"
#include "form1.h"
#include "result_words.h"
#include "status_line.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <string>

namespace wayfolk {

using trk7700::client::LinkCall;
using Binding = CommandFlow::Binding;

namespace {

std::string fieldText(const QLineEdit *field) { return field->text().toStdString(); }

// The results of a store that are told by number and name.
bool isToldByName(int32_t result)
{
    switch (result) {
    case return_setting_value_error:
    case return_displacementinterval_over_3000meter_error:
    case return_timeInterval_over_3600second_error:
    case return_log_min_speed_over_20_knot_error:
    case return_error_wave_file_path:
    case return_pc_not_enough_memory:
    case return_uncompleted_wave_files:
    case return_file_size_over_128K_bytes:
    case return_not_dump_mode: return true;
    default: return false;
    }
}

}  // namespace

void Form1::connectSettingsPage()
{
    connect(Text4, &QLineEdit::textChanged, this, [this] { text4Tag_.clear(); });
}

void Form1::Command10_Click(Then then)
{
    if (Combo1->currentIndex() < 0) {
        message(QStringLiteral("Please select COM port"));
        if (then) then();
        return;
    }
    ComPort = Combo1->currentIndex() + 1;
    struct SettingValues {
        LinkCall call;
        trk7700::client::SettingsRead read;
    };
    const int32_t port = ComPort;
    flow_->call<SettingValues>(
        QStringLiteral("Lese Einstellungen..."),
        [port](Binding &library) {
            SettingValues values;
            auto &read = values.read;
            values.call = library.readSettingValue(port, read.timeInterval, read.distanceInterval, read.vibration,
                                                   read.tag, read.minSpeedKnots);
            return values;
        },
        [this, then](const SettingValues &values) {
            switch (values.call.result) {
            case return_read_setting_value_successful: {
                const auto shown = trk7700::client::settingsPageFor(values.read);
                Option5->setChecked(!shown.byTime);
                Option4->setChecked(shown.byTime);
                if (shown.timeText) Text2->setText(QString::fromStdString(*shown.timeText));
                if (shown.distanceText) Text3->setText(QString::fromStdString(*shown.distanceText));
                Check9->setChecked(shown.vibration);
                Check1->setChecked(shown.tag);
                Text4->setText(QString::fromStdString(shown.minSpeedText));
                // After the text, whose change empties it.
                if (!shown.minSpeedKnotsRead.empty()) text4Tag_ = QString::fromStdString(shown.minSpeedKnotsRead);
                break;
            }
            case return_not_dump_mode:
            case return_device_time_out: message(QStringLiteral("Nicht verbunden")); break;
            default:
                if (values.call.made())
                    statusLine_->setText(resultWords(values.call.result,
                                                     QStringLiteral("Die Einstellungen konnten nicht gelesen werden; "
                                                                    "die Seite zeigt sie nicht.")));
                break;
            }
            // A read that found the connection gone leaves the window unconnected.
            settleConnection(values.call.result, [this, then](bool lost) {
                if (lost) {
                    statusLine_->setText(resultWords(return_not_dump_mode, connectionLostWords()));
                }
                if (then) then();
            });
        });
}

// The store. Entries that the library's arguments cannot carry (an interval
// beyond 16 bits, a speed beyond a byte) are refused before anything is sent.
void Form1::Command8_Click()
{
    if (Combo1->currentIndex() < 0) {
        message(QStringLiteral("Please select COM port"));
        return;
    }
    Command8->setEnabled(false);
    ComPort = Combo1->currentIndex() + 1;
    const auto refuse = [this](const QString &text) {
        message(text + QStringLiteral(" Es wurde nichts gespeichert."));
        Command8->setEnabled(true);
    };

    trk7700::client::SettingsPage page;
    page.byTime = Option4->isChecked();
    page.byDistance = Option5->isChecked();
    page.timeText = fieldText(Text2);
    page.distanceText = fieldText(Text3);
    page.minSpeedText = fieldText(Text4);
    page.minSpeedKnotsRead = text4Tag_.toStdString();
    page.vibration = Check9->isChecked();
    page.tag = Check1->isChecked();
    const auto store = trk7700::client::settingsToStore(page);
    using Refused = trk7700::client::PageStore::Refused;
    switch (store.refused) {
    case Refused::none: break;
    case Refused::timeInterval:
        return refuse(QStringLiteral("Das Log-Intervall \"%1\" liegt außerhalb von -32768 bis 32767 Sekunden.")
                          .arg(Text2->text()));
    case Refused::distanceInterval:
        return refuse(
            QStringLiteral("Das Log-Intervall \"%1\" liegt außerhalb von -32768 bis 32767 Metern.").arg(Text3->text()));
    case Refused::minSpeedKnotsRead:
        return refuse(QStringLiteral("Die gelesene Mindestgeschwindigkeit von %1 Knoten ist zu groß.").arg(text4Tag_));
    case Refused::minSpeedKmh:
        return refuse(QStringLiteral("Die Mindestgeschwindigkeit \"%1\" km/h ist zu groß.").arg(Text4->text()));
    }

    const int32_t port = ComPort;
    const trk7700::client::SettingsToStore settings = store.settings;
    const std::string waveFolder = QFile::encodeName(voicePromptFolder()).toStdString();
    flow_->call<LinkCall>(
        QStringLiteral("Speichere Einstellungen..."),
        [=](Binding &library) {
            return library.settingDevice(port, settings.timeInterval, settings.distanceInterval, settings.vibration,
                                         settings.tag, waveFolder, settings.minSpeedKnots);
        },
        [this](const LinkCall &call) {
            statusLine_->setProgress(-1);
            const int32_t result = call.result;
            QString words;
            if (result == return_setting_device_successful)
                message(QStringLiteral("Daten erfolgreich gespeichert"));
            else if (isToldByName(result))
                message(QString::fromStdString(trk7700::client::resultText(result)));
            else if (result == return_device_time_out)
                words = resultWords(result, QStringLiteral("Der Logger hat nicht geantwortet; die Einstellungen wurden "
                                                           "nicht gespeichert. Bitte die Verbindung prüfen und erneut "
                                                           "speichern."));
            else if (result == return_device_checksum_error)
                words =
                    resultWords(result, QStringLiteral("Der Logger hat die Einstellungen wegen eines "
                                                       "Prüfsummenfehlers nicht übernommen. Bitte erneut speichern."));
            else if (call.made())
                words = resultWords(result, QStringLiteral("Ob die Einstellungen gespeichert wurden, ist unklar. Bitte "
                                                           "neu verbinden: die Seite zeigt dann, was der Logger hat."));
            Command8->setEnabled(true);
            finishDeviceCommand(result, words);
        },
        showElapsedWhile(QStringLiteral("Speichere Einstellungen...")));
}

}  // namespace wayfolk
