// The settings page: the read-back that follows every connection and the
// store. The page shows speeds in km/h; the logger counts knots.
#include "binding/result_text.h"
#include "command_flow.h"
#include "conversion/speed_units.h"
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
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

namespace wayfolk {

using trk7700::client::LinkCall;
using Binding = CommandFlow::Binding;

namespace {

// The number a field's text starts with: blanks before it are skipped, then a
// sign, digits with a decimal point and an exponent; 0 when the text does not
// start with a number. Too large a number gives an infinity.
double leadingNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

// Rounded to the nearest 16-bit integer, halves to even; none beyond its range.
std::optional<int16_t> roundedTo16Bits(double value)
{
    const double rounded = std::nearbyint(value);  // the default rounding takes halves to even
    if (!(rounded >= std::numeric_limits<int16_t>::min() && rounded <= std::numeric_limits<int16_t>::max()))
        return std::nullopt;
    return static_cast<int16_t>(rounded);
}

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
    case return_not_dump_mode:
        return true;
    default:
        return false;
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
        int32_t timeInterval = 0, distanceInterval = 0;
        uint8_t vibration = 0, tag = 0, minSpeed = 0;
    };
    const int32_t port = ComPort;
    flow_->call<SettingValues>(
        QStringLiteral("Lese Einstellungen..."),
        [port](Binding &library) {
            SettingValues values;
            values.call = library.readSettingValue(port, values.timeInterval, values.distanceInterval,
                                                   values.vibration, values.tag, values.minSpeed);
            return values;
        },
        [this, then](const SettingValues &values) {
            switch (values.call.result) {
            case return_read_setting_value_successful:
                if (values.timeInterval == -1) {
                    Option5->setChecked(true);
                    Option4->setChecked(false);
                } else {
                    Option5->setChecked(false);
                    Option4->setChecked(true);
                    Text2->setText(QString::number(values.timeInterval));
                }
                if (values.distanceInterval != -1) Text3->setText(QString::number(values.distanceInterval));
                Check9->setChecked(values.vibration != 0);
                Check1->setChecked(values.tag == 1);
                if (values.minSpeed != 0) {
                    Text4->setText(QString::number(trk7700::client::knotsToShownKmh(values.minSpeed)));
                    text4Tag_ = QString::number(values.minSpeed);  // after the text, whose change empties it
                } else {
                    Text4->setText(QStringLiteral("0"));
                }
                break;
            case return_not_dump_mode:
            case return_device_time_out:
                message(QStringLiteral("Nicht verbunden"));
                break;
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

    int16_t timeInterval = 0, distanceInterval = 0;
    if (Option4->isChecked()) {
        const auto seconds = roundedTo16Bits(leadingNumber(Text2->text()));
        if (!seconds)
            return refuse(QStringLiteral("Das Log-Intervall \"%1\" liegt außerhalb von -32768 bis 32767 Sekunden.")
                              .arg(Text2->text()));
        timeInterval = *seconds;
    }
    if (Option5->isChecked()) {
        const auto metres = roundedTo16Bits(leadingNumber(Text3->text()));
        if (!metres)
            return refuse(QStringLiteral("Das Log-Intervall \"%1\" liegt außerhalb von -32768 bis 32767 Metern.")
                              .arg(Text3->text()));
        distanceInterval = *metres;
    }
    const uint8_t vibration = Check9->isChecked() ? 2 : 0;
    const uint8_t tag = Check1->isChecked() ? 1 : 0;

    uint8_t minSpeed = 0;
    if (leadingNumber(Text4->text()) > 0) {
        const double readKnots = leadingNumber(text4Tag_);
        if (readKnots > 0) {
            // The knots read from the logger, unchanged by the round trip through km/h.
            const double knots = std::nearbyint(readKnots);
            if (!(knots <= std::numeric_limits<uint8_t>::max()))
                return refuse(
                    QStringLiteral("Die gelesene Mindestgeschwindigkeit von %1 Knoten ist zu groß.").arg(text4Tag_));
            minSpeed = static_cast<uint8_t>(knots);
        } else {
            const auto knots = trk7700::client::kmhToSentKnotsByte(leadingNumber(Text4->text()));
            if (!knots)
                return refuse(
                    QStringLiteral("Die Mindestgeschwindigkeit \"%1\" km/h ist zu groß.").arg(Text4->text()));
            minSpeed = *knots;
        }
    }

    const int32_t port = ComPort;
    // Sign-extended to 32 bits, as the library takes them.
    const uint32_t time = static_cast<uint32_t>(int32_t {timeInterval});
    const uint32_t distance = static_cast<uint32_t>(int32_t {distanceInterval});
    const std::string waveFolder = QFile::encodeName(voicePromptFolder()).toStdString();
    flow_->call<LinkCall>(
        QStringLiteral("Speichere Einstellungen..."),
        [=](Binding &library) {
            return library.settingDevice(port, time, distance, vibration, tag, waveFolder, minSpeed);
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
                words = resultWords(result, QStringLiteral("Der Logger hat die Einstellungen wegen eines "
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
