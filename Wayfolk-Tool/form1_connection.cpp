// The connection commands: "Verbinden", "Automatisch Verbinden" and
// "Exit Dump Mode".
#include "command_flow.h"
#include "form1.h"
#include "picture_button.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace wayfolk {

using trk7700::client::LinkCall;
using Binding = CommandFlow::Binding;

void Form1::Command1_Click()
{
    if (Combo1->currentIndex() < 0) {
        message(QStringLiteral("Bitte Com Port auswählen."));
        return;
    }
    ComPort = Combo1->currentIndex() + 1;
    const int32_t port = ComPort;
    flow_->call<LinkCall>(
        QStringLiteral("Verbinde..."), [port](Binding &library) { return library.intoDumpMode(port); },
        [this](const LinkCall &call) {
            switch (call.result) {
            case return_can_not_open_com_port:
                message(QStringLiteral("Com Port nicht gefunden, oder belegt."));
                break;
            case return_into_dump_mode_fail:
                message(QStringLiteral("Auslesemodus belegt. Wayfolk bitte neustarten."));
                break;
            case return_into_dump_mode_successful:
                Command1->setEnabled(false);
                Command11->setEnabled(false);
                Command2_Click([this] {
                    Command10_Click([this] {
                        enableDeviceCommands();
                        showConnectedColours();
                    });
                });
                break;
            default:
                break;
            }
        });
}

void Form1::Command11_Click()
{
    struct Search {
        LinkCall call;
        int32_t foundPort = 0;
    };
    flow_->call<Search>(
        QStringLiteral("Suche Logger..."),
        [](Binding &library) {
            Search search;
            search.call = library.autoIntoDumpMode(search.foundPort);
            return search;
        },
        [this](const Search &search) {
            switch (search.call.result) {
            case return_can_not_open_com_port:
                message(QStringLiteral("Kann Com Port nicht öffnen !"));
                break;
            case return_into_dump_mode_fail:
                message(QStringLiteral("Auslese Modus gesperrt !"));
                break;
            case return_into_dump_mode_successful:
                Label19->setText(QStringLiteral("Verbunden mit COM  = %1").arg(search.foundPort));
                selectFoundPort(search.foundPort);
                Command1->setEnabled(false);
                showConnectedColours();
                Command11->setEnabled(false);
                // The settings read-back takes the port from the list, which now shows the found one.
                Command2_Click([this] { Command10_Click([this] { enableDeviceCommands(); }); });
                break;
            default:
                break;
            }
        });
}

// The list holds COM1 to COM37 at start; a port found above them gets its
// entry (with those between), so that an entry's index stays its number - 1.
void Form1::selectFoundPort(int32_t comNumber)
{
    if (comNumber < 1) return;
    for (int number = Combo1->count() + 1; number <= comNumber; ++number)
        Combo1->addItem(QStringLiteral("COM%1").arg(number));
    Combo1->setCurrentIndex(comNumber - 1);
}

void Form1::Command3_Click()
{
    flow_->call<LinkCall>(
        QStringLiteral("Verlasse Dump Mode..."), [](Binding &library) { return library.exitDumpMode(); },
        [](const LinkCall &) {});
}

void Form1::enableDeviceCommands()
{
    for (QPushButton *button : {Command5, Command13, Command4, Command8}) button->setEnabled(true);
}

// The connect pictures look spent, the device commands offered.
void Form1::showConnectedColours()
{
    setOffered(Label34, false);
    setOffered(Label35, false);
    setOffered(Label31, true);
    setOffered(Label33, true);
    setOffered(Label36, true);
}

}  // namespace wayfolk
