// The connection commands: "Verbinden", "Automatisch Verbinden" and
// "Exit Dump Mode"; and how the window learns that a connection has ended.
#include "binding/port_diagnosis.h"
#include "command_flow.h"
#include "form1.h"
#include "picture_button.h"
#include "result_words.h"
#include "serial/port_map.h"
#include "status_line.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <sys/stat.h>

namespace wayfolk {

using trk7700::client::LinkCall;
using trk7700::client::TextBuffer;
using Binding = CommandFlow::Binding;

namespace {

constexpr size_t kFirmwareVersionLength = 8;
constexpr int kHighestSearchedPort = 256;  // the automatic search tries COM0 to COM256

// The results by which an operation says that the logger did not answer.
// When the port went away meanwhile, the library has closed it as well.
bool isNoAnswer(int32_t result)
{
    return result == return_device_time_out || result == return_device_information_no_answer ||
           result == return_read_gps_utc_time_invalid;
}

struct Attempt {
    LinkCall call;
    QString portFailure;  // why the port could not be opened
};

QString alreadyConnectedWords()
{
    return QStringLiteral("Der Logger ist schon verbunden; eine zweite Verbindung gibt es nicht. Zum Wechseln erst "
                          "„Exit Dump Mode“.");
}

// No logger answered on any port: why not, told for the port chosen in the
// list, else for the first port that has an entry (else for COM1, which says
// where the ports come from).
QString searchFailureWords(int selectedPort)
{
    int port = selectedPort;
    for (int number = 1; port < 1 && number <= kHighestSearchedPort; ++number) {
        const std::string entry = trk7700::serial::resolvePortPath(number);
        struct stat info {};
        if (!entry.empty() && ::lstat(entry.c_str(), &info) == 0) port = number;
    }
    return QStringLiteral("Auf keinem Port antwortet ein Logger. ") +
           QString::fromStdString(trk7700::client::explainPortFailure(port < 1 ? 1 : port));
}

}  // namespace

void Form1::Command1_Click()
{
    if (Combo1->currentIndex() < 0) {
        message(QStringLiteral("Bitte Com Port auswählen."));
        return;
    }
    ComPort = Combo1->currentIndex() + 1;
    const int32_t port = ComPort;
    const bool alreadyConnected = connected_;
    flow_->call<Attempt>(
        QStringLiteral("Verbinde..."),
        [port, alreadyConnected](Binding &library) {
            Attempt attempt;
            attempt.call = library.intoDumpMode(port);
            // The library refuses a second connection before it touches any port.
            if (attempt.call.result == return_can_not_open_com_port && !alreadyConnected)
                attempt.portFailure = QString::fromStdString(trk7700::client::explainPortFailure(port));
            return attempt;
        },
        [this](const Attempt &attempt) {
            const LinkCall &call = attempt.call;
            switch (call.result) {
            case return_can_not_open_com_port:
                message(QStringLiteral("Com Port nicht gefunden, oder belegt."));
                statusLine_->setText(connected_ ? alreadyConnectedWords() : attempt.portFailure);
                break;
            case return_into_dump_mode_fail:
                message(QStringLiteral("Auslesemodus belegt. Wayfolk bitte neustarten."));
                break;
            case return_into_dump_mode_successful:
                beginConnection();
                Command1->setEnabled(false);
                Command11->setEnabled(false);
                Command2_Click([this] {
                    Command10_Click([this] {
                        // The settings read may have found the connection gone.
                        if (!connected_) return;
                        enableDeviceCommands();
                        showConnectedColours();
                        if (!informationWords_.isEmpty()) statusLine_->setText(informationWords_);
                    });
                });
                break;
            default: break;
            }
        });
}

void Form1::Command11_Click()
{
    struct Search {
        LinkCall call;
        int32_t foundPort = 0;
        QString portFailure;
    };
    const bool alreadyConnected = connected_;
    const int selectedPort = Combo1->currentIndex() + 1;
    flow_->call<Search>(
        QStringLiteral("Suche Logger..."),
        [alreadyConnected, selectedPort](Binding &library) {
            Search search;
            search.call = library.autoIntoDumpMode(search.foundPort);
            if (search.call.result == return_can_not_open_com_port && !alreadyConnected)
                search.portFailure = searchFailureWords(selectedPort);
            return search;
        },
        [this](const Search &search) {
            switch (search.call.result) {
            case return_can_not_open_com_port:
                message(QStringLiteral("Kann Com Port nicht öffnen !"));
                statusLine_->setText(connected_ ? alreadyConnectedWords() : search.portFailure);
                break;
            case return_into_dump_mode_fail: message(QStringLiteral("Auslese Modus gesperrt !")); break;
            case return_into_dump_mode_successful:
                beginConnection();
                Label19->setText(QStringLiteral("Verbunden mit COM  = %1").arg(search.foundPort));
                selectFoundPort(search.foundPort);
                Command1->setEnabled(false);
                showConnectedColours();
                Command11->setEnabled(false);
                // The settings read-back takes the port from the list, which now shows the found one.
                Command2_Click([this] {
                    Command10_Click([this] {
                        if (!connected_) return;
                        enableDeviceCommands();
                        if (!informationWords_.isEmpty()) statusLine_->setText(informationWords_);
                    });
                });
                break;
            default: break;
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

// The window keeps its look; the next device command finds the connection
// gone (26) and shows it then.
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

// Dump mode is open: what the window knew of an earlier logger goes.
void Form1::beginConnection()
{
    connected_ = true;
    readoutSinceConnect_ = false;
    loggerFirmwareVersion_.clear();
    informationWords_.clear();
}

void Form1::showNotConnected()
{
    connected_ = false;
    readoutSinceConnect_ = false;
    for (QPushButton *button : {Command5, Command13, Command4, Command8}) button->setEnabled(false);
    Command1->setEnabled(true);
    Command11->setEnabled(true);
    setOffered(Label34, true);
    setOffered(Label35, true);
    setOffered(Label31, false);
    setOffered(Label33, false);
    setOffered(Label36, false);
    Label19->setText(QStringLiteral("Com Port wählen:"));
}

// A 26 while connected: the library has no connection any more (the logger
// vanished, or dump mode was left). A no-answer result: the library closes
// the port when it went away during the operation, and then any device call
// returns 26 at once without touching the line; a logger that is there but
// was slow answers the read-only information request instead.
void Form1::settleConnection(int32_t result, const Settled &settled)
{
    if (connected_ && result == return_not_dump_mode) {
        showNotConnected();
        settled(true);
        return;
    }
    if (!connected_ || !isNoAnswer(result) || flow_->closing()) {
        settled(false);
        return;
    }
    const int32_t port = ComPort;
    flow_->call<LinkCall>(
        QStringLiteral("Prüfe die Verbindung zum Logger..."),
        [port](Binding &library) {
            int32_t serialNumber = 0;
            TextBuffer version(kFirmwareVersionLength);
            return library.readDeviceInformation(port, serialNumber, version);
        },
        [this, settled](const LinkCall &probe) {
            const bool lost = probe.result == return_not_dump_mode;
            if (lost) showNotConnected();
            settled(lost);
        });
}

void Form1::finishDeviceCommand(int32_t result, const QString &words)
{
    settleConnection(result, [this, result, words](bool lost) {
        if (!lost) {
            if (!words.isEmpty()) statusLine_->setText(words);
        } else if (result == return_not_dump_mode || words.isEmpty()) {
            statusLine_->setText(resultWords(result, connectionLostWords()));
        } else {
            statusLine_->setText(words + QLatin1Char(' ') + connectionLostWords());
        }
    });
}

}  // namespace wayfolk
