// The maintenance commands: device information, firmware upgrade, the image's
// firmware version, the library version and the GPS UTC time.
#include "binding/result_text.h"
#include "command_flow.h"
#include "fixed_places.h"
#include "form1.h"

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
    case return_bin_file_checksum_error:
        return true;
    default:
        return false;
    }
}

std::string firmwareFolderForLibrary() { return QFile::encodeName(firmwareFolder()).toStdString(); }

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
            switch (information.call.result) {
            case return_read_device_information_successful:
                // The logger's serial number is an unsigned 32-bit value.
                Label16->setText(QStringLiteral("Seriennummer = %1").arg(static_cast<uint32_t>(information.serialNumber)));
                Label15->setText(QStringLiteral("FW Ver = ") + information.firmwareVersion);
                break;
            case return_not_dump_mode:
            case return_device_information_invalid:
            case return_device_information_no_answer:
                message(QStringLiteral("Verbindungsfehler %1").arg(information.call.result));
                break;
            default:
                break;
            }
            if (then) then();
        });
}

void Form1::Command6_Click()
{
    const int32_t port = ComPort;
    flow_->call<LinkCall>(
        QStringLiteral("Aktualisiere Firmware..."),
        [port, folder = firmwareFolderForLibrary()](Binding &library) { return library.fwUpgrade(port, folder); },
        [this](const LinkCall &call) {
            if (call.result == return_upgrade_firmware_successful) {
                message(resultMessage(call.result));
                message(QStringLiteral("F/W Upgrade Finish,Please Remove USB Cable"));
            } else if (call.result == return_not_dump_mode || isImageCheckFailure(call.result)) {
                message(resultMessage(call.result));
            }
        });
}

void Form1::Command7_Click()
{
    flow_->call<TextResult>(
        QStringLiteral("Lese Firmware-Datei..."),
        [folder = firmwareFolderForLibrary()](Binding &library) {
            TextResult version;
            TextBuffer buffer(kImageVersionLength);
            version.call = library.readBinFileFwVersion(buffer, folder);
            version.text = QString::fromLatin1(buffer.text());
            return version;
        },
        [this](const TextResult &version) {
            if (version.call.result == return_read_binfile_FW_version_successful) {
                Label17->setText(QStringLiteral("Bin File FW Version = ") + version.text);
                message(resultMessage(version.call.result));
            } else if (isImageCheckFailure(version.call.result)) {
                message(resultMessage(version.call.result));
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
            if (version.call.result == return_read_dll_version_successful)
                Label9->setText(QStringLiteral("DLL Version = ") + version.text);
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
            time.call = library.readGpsUtcTimeDate(time.hour, time.minute, time.second, time.year, time.month,
                                                   time.day);
            return time;
        },
        [this](const GpsTime &time) {
            switch (time.call.result) {
            case return_read_gps_utc_time_successful:
                message(resultMessage(time.call.result));
                // As received, without leading zeros or range checks.
                Label20->setText(QStringLiteral(" GPS UTC Time = %1:%2:%3,   %4,%5,%6")
                                     .arg(int {time.hour})
                                     .arg(int {time.minute})
                                     .arg(int {time.second})
                                     .arg(int {time.day})
                                     .arg(int {time.month})
                                     .arg(int {time.year}));
                break;
            case return_not_dump_mode:
            case return_read_gps_utc_time_invalid:
                message(resultMessage(time.call.result));
                break;
            default:
                break;
            }
        });
}

}  // namespace wayfolk
