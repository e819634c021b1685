// The settings page: the read-back that follows every connection. The page
// shows speeds in km/h; the logger counts knots.
#include "command_flow.h"
#include "conversion/speed_units.h"
#include "form1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace wayfolk {

using trk7700::client::LinkCall;
using Binding = CommandFlow::Binding;

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
                break;
            }
            if (then) then();
        });
}

}  // namespace wayfolk
