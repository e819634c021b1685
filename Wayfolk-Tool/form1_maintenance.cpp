// The maintenance commands: device information, firmware upgrade, the image's
// firmware version, the library version and the GPS UTC time.
#include "binding/result_text.h"
#include "command_flow.h"
#include "fixed_places.h"
#include "form1.h"
#include "result_words.h"
#include "status_line.h"
#include "user_dialogs.h"

#include <QFile>
#include <QLabel>

namespace wayfolk {

using trk7700::client::LinkCall;
using trk7700::client::resultText;
using trk7700::client::TextBuffer;
using Binding = CommandFlow::Binding;

namespace {

// Lengths of the output buffers, in blanks.
constexpr size_t kFirmwareVersionLength = 8;
constexpr size_t kImageVersionLength = 11;
constexpr size_t kLibraryVersionLength = 5;

struct TextResult {
    LinkCall call;
    QString text;
};

QString resultMessage(int32_t result) { return QString::fromStdString(resultText(result)); }

// The failures of the firmware image check, which both image commands tell.
bool isImageCheckFailure(int32_t result)
{
    switch (result) {
    case return_pc_not_enough_memory:
    case return_error_bin_file_path:
    case return_can_not_open_bin_file:
    case return_bin_file_size_error:
    case return_not_correct_bin_file:
    case return_bin_file_checksum_error: return true;
    default: return false;
    }
}

std::string firmwareFolderForLibrary() { return QFile::encodeName(firmwareFolder()).toStdString(); }

// On the worker: the version of the image in the firmware folder.
TextResult readImageVersion(Binding &library, const std::string &folder)
{
    TextResult version;
    TextBuffer buffer(kImageVersionLength);
    version.call = library.readBinFileFwVersion(buffer, folder);
    version.text = QString::fromLatin1(buffer.text());
    return version;
}

}  // namespace

void Form1::Command2_Click(Then then)
{
    struct DeviceInformation {
        LinkCall call;
        int32_t serialNumber = 0;
        QString firmwareVersion;
    };
    const int32_t port = ComPort;
    flow_->call<DeviceInformation>(
        QStringLiteral("Lese Geräteinformation..."),
        [port](Binding &library) {
            DeviceInformation information;
            TextBuffer version(kFirmwareVersionLength);
            information.call = library.readDeviceInformation(port, information.serialNumber, version);
            information.firmwareVersion = QString::fromLatin1(version.text());
            return information;
        },
        [this, then](const DeviceInformation &information) {
            const int32_t result = information.call.result;
            QString words;
            switch (result) {
            case return_read_device_information_successful:
                // The logger's serial number is an unsigned 32-bit value.
                Label16->setText(
                    QStringLiteral("Seriennummer = %1").arg(static_cast<uint32_t>(information.serialNumber)));
                Label15->setText(QStringLiteral("FW Ver = ") + information.firmwareVersion);
                loggerFirmwareVersion_ = information.firmwareVersion;
                break;
            case return_not_dump_mode:
            case return_device_information_invalid:
            case return_device_information_no_answer:
                message(QStringLiteral("Verbindungsfehler %1").arg(result));
                break;
            default:
                if (information.call.made())
                    words =
                        resultWords(result, QStringLiteral("Die Geräteinformation kam nicht ganz an; Seriennummer und "
                                                           "Firmware-Version sind unbekannt."));
                break;
            }
            // While connecting, the settings read follows and settles the connection.
            if (then) {
                informationWords_ = words;
                then();
            } else {
                finishDeviceCommand(result, words);
            }
        });
}

// The image's version is read first, so that the question can name both
// versions; a broken image is told as the upgrade itself would tell it.
void Form1::Command6_Click()
{
    flow_->call<TextResult>(
        QStringLiteral("Lese Firmware-Datei..."),
        [folder = firmwareFolderForLibrary()](Binding &library) { return readImageVersion(library, folder); },
        [this](const TextResult &version) {
            const int32_t result = version.call.result;
            if (result != return_read_binfile_FW_version_successful) {
                if (!version.call.made()) return;  // the flow has told why
                if (isImageCheckFailure(result)) message(resultMessage(result));
                statusLine_->setText(imageFailureWords(result) + QStringLiteral(" Es wurde nichts gesendet."));
                return;
            }
            const QString current =
                loggerFirmwareVersion_.isEmpty() ? QStringLiteral("(Version unbekannt)") : loggerFirmwareVersion_;
            const QString question =
                QStringLiteral("Firmware %1 durch %2 ersetzen?\n\nDer Logger darf während des Updates nicht getrennt "
                               "werden.")
                    .arg(current, version.text);
            if (dialogs_.ask(this, question, Answer::no) != Answer::yes) {
                statusLine_->setText(QStringLiteral("Firmware-Update abgebrochen; es wurde nichts gesendet."));
                return;
            }
            upgradeFirmware(version.text);
        });
}

void Form1::upgradeFirmware(const QString &imageVersion)
{
    const int32_t port = ComPort;
    flow_->call<LinkCall>(
        QStringLiteral("Aktualisiere Firmware..."),
        [port, folder = firmwareFolderForLibrary()](Binding &library) { return library.fwUpgrade(port, folder); },
        [this, imageVersion](const LinkCall &call) {
            statusLine_->setProgress(-1);
            const int32_t result = call.result;
            if (result == return_upgrade_firmware_successful) {
                message(resultMessage(result));
                message(QStringLiteral("F/W Upgrade Finish,Please Remove USB Cable"));
                // The logger restarts with the new firmware and the library has
                // left dump mode: the version shown is no longer the logger's.
                Label15->setText(QStringLiteral("FW Ver = ?"));
                loggerFirmwareVersion_.clear();
                showNotConnected();
                statusLine_->setText(QStringLiteral("Firmware %1 gesendet; der Logger startet neu. Danach „Verbinden“ "
                                                    "klicken, um seine Version zu lesen.")
                                         .arg(imageVersion));
                return;
            }
            QString words;
            if (result == return_not_dump_mode || isImageCheckFailure(result)) {
                message(resultMessage(result));
                if (isImageCheckFailure(result)) words = imageFailureWords(result);
            } else if (result == return_device_time_out) {
                words = resultWords(result, QStringLiteral("Der Logger hat das Update nicht bestätigt. Bitte die "
                                                           "Verbindung prüfen und das Update wiederholen."));
            } else if (result == return_device_checksum_error) {
                words = resultWords(result, QStringLiteral("Der Logger hat die Firmware wegen eines Prüfsummenfehlers "
                                                           "nicht übernommen. Bitte das Update wiederholen."));
            } else if (call.made()) {
                words = resultWords(result, QStringLiteral("Ob die Firmware übernommen wurde, ist unklar. Bitte neu "
                                                           "verbinden und die Version prüfen."));
            }
            finishDeviceCommand(result, words);
        },
        showElapsedWhile(QStringLiteral("Aktualisiere Firmware...")));
}

void Form1::Command7_Click()
{
    flow_->call<TextResult>(
        QStringLiteral("Lese Firmware-Datei..."),
        [folder = firmwareFolderForLibrary()](Binding &library) { return readImageVersion(library, folder); },
        [this](const TextResult &version) {
            const int32_t result = version.call.result;
            if (result == return_read_binfile_FW_version_successful) {
                Label17->setText(QStringLiteral("Bin File FW Version = ") + version.text);
                message(resultMessage(result));
                // The label lies under the photo.
                statusLine_->setText(Label17->text());
            } else if (version.call.made()) {
                if (isImageCheckFailure(result)) message(resultMessage(result));
                statusLine_->setText(imageFailureWords(result));
            }
        });
}

void Form1::Command9_Click()
{
    flow_->call<TextResult>(
        QStringLiteral("Lese DLL-Version..."),
        [](Binding &library) {
            TextResult version;
            TextBuffer buffer(kLibraryVersionLength);
            version.call = library.readDllVersion(buffer);
            version.text = QString::fromLatin1(buffer.text());
            return version;
        },
        [this](const TextResult &version) {
            if (version.call.result == return_read_dll_version_successful) {
                Label9->setText(QStringLiteral("DLL Version = ") + version.text);
                statusLine_->setText(Label9->text());
            } else if (version.call.made()) {
                statusLine_->setText(
                    resultWords(version.call.result, QStringLiteral("Die Version der Bibliothek ist unbekannt.")));
            }
        });
}

void Form1::Command12_Click()
{
    struct GpsTime {
        LinkCall call;
        // Each output starts as a blank, as the buffers handed to the library do.
        uint8_t hour = ' ', minute = ' ', second = ' ', year = ' ', month = ' ', day = ' ';
    };
    flow_->call<GpsTime>(
        QStringLiteral("Lese GPS-Zeit..."),
        [](Binding &library) {
            GpsTime time;
            time.call =
                library.readGpsUtcTimeDate(time.hour, time.minute, time.second, time.year, time.month, time.day);
            return time;
        },
        [this](const GpsTime &time) {
            const int32_t result = time.call.result;
            QString words;
            switch (result) {
            case return_read_gps_utc_time_successful:
                message(resultMessage(result));
                // As received, without leading zeros or range checks.
                Label20->setText(QStringLiteral(" GPS UTC Time = %1:%2:%3,   %4,%5,%6")
                                     .arg(int{time.hour})
                                     .arg(int{time.minute})
                                     .arg(int{time.second})
                                     .arg(int{time.day})
                                     .arg(int{time.month})
                                     .arg(int{time.year}));
                // The label lies under the photo.
                words = Label20->text().trimmed() + QStringLiteral(" (Stunde:Minute:Sekunde, Tag,Monat,Jahr)");
                break;
            case return_not_dump_mode:
                message(resultMessage(result));
                words = resultWords(result, QStringLiteral("Nicht verbunden. Bitte zuerst „Verbinden“ oder „Auto. "
                                                           "Verbinden“ klicken."));
                break;
            case return_read_gps_utc_time_invalid:
                message(resultMessage(result));
                words = resultWords(result, QStringLiteral("Der Logger hat noch keine gültige GPS-Zeit. Bitte warten, "
                                                           "bis er Empfang hat, und erneut lesen."));
                break;
            default:
                if (time.call.made()) words = resultWords(result, QStringLiteral("Die GPS-Zeit ist unbekannt."));
                break;
            }
            finishDeviceCommand(result, words);
        });
}

}  // namespace wayfolk
