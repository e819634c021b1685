#include "form_port_words.h"

namespace trk7700::form {

namespace {

using Reason = client::PortDiagnosis::Reason;
using Kind = client::PortDiagnosis::Kind;

const char *kindWords(Kind kind)
{
    switch (kind) {
    case Kind::regularFile: return "eine gewöhnliche Datei";
    case Kind::folder: return "ein Ordner";
    case Kind::fifo: return "eine FIFO";
    case Kind::socket: return "ein Socket";
    case Kind::blockDevice: return "ein Blockgerät";
    case Kind::notTerminal: return "ein Zeichengerät, das kein Terminal ist";
    case Kind::other: break;
    }
    return "kein Gerät";
}

std::string inUseWords(const client::PortDiagnosis &d)
{
    if (d.holders.empty())
        return d.port + " wird von einem anderen Programm benutzt (welches, ist hier nicht zu sehen; „sudo fuser -v " +
               d.device + "“ zeigt es). Bitte das Programm schließen und erneut versuchen.";
    std::string names;
    bool self = false, modemManager = false;
    for (size_t i = 0; i < d.holders.size() && i < 4; ++i) {
        const auto &holder = d.holders[i];
        self = self || holder.self;
        modemManager = modemManager || holder.name == "ModemManager";
        names += (i == 0 ? "" : ", ") + holder.name + " (Prozess " + std::to_string(holder.pid) +
                 (holder.self ? ", dieses Programm selbst" : "") + ")";
    }
    const std::string text = d.port + " wird benutzt von " + names + ".";
    if (self && d.holders.size() == 1) return text + " Vermutlich ist der Logger schon verbunden.";
    if (modemManager)
        return text + " Bitte ModemManager mit einer udev-Regel vom Logger fernhalten (ID_MM_DEVICE_IGNORE, siehe "
                      "README) und erneut versuchen.";
    return text + " Bitte das Programm schließen und erneut versuchen.";
}

}  // namespace

std::string portFailureWords(const client::PortDiagnosis &d)
{
    const std::string &com = d.com;
    switch (d.reason) {
    case Reason::numberedFromOne: return com + " öffnet nie: die Ports sind ab COM1 nummeriert.";
    case Reason::variableEmpty:
        return com + " ist keinem Gerät zugeordnet: die Umgebungsvariable TRK7700_PORT_DIR ist gesetzt, aber leer, "
                     "und solange sie gesetzt ist, bestimmt sie allein die Ports. Bitte sie entfernen oder einen "
                     "Ordner mit COM<n>-Verweisen nennen.";
    case Reason::notInVariableFolder:
        return com + " ist keinem Gerät zugeordnet: der Port-Ordner " + d.folder +
               " (aus der Umgebungsvariablen TRK7700_PORT_DIR) hat keinen Eintrag " + com +
               ". Bitte ihn auf das Gerät des Loggers verweisen lassen, z. B. „ln -s /dev/ttyUSB0 " + d.folder + "/" +
               com + "“.";
    case Reason::notInPortFolder:
        return com + " ist keinem Gerät zugeordnet: der Port-Ordner " + d.folder + " hat keinen Eintrag " + com +
               ", und solange es ihn gibt, zählen nur seine Einträge. Bitte den Logger dort eintragen, z. B. „ln -s "
               "/dev/ttyUSB0 " +
               d.folder + "/" + com + "“, oder den Ordner entfernen.";
    case Reason::notNumbered: {
        std::string present;
        for (size_t i = 0; i < d.devices.size(); ++i)
            present += (i == 0 ? ": " : ", ") + std::string("COM") + std::to_string(i + 1) + " " + d.devices[i];
        return com +
               " ist keinem Gerät zugeordnet: ohne Port-Ordner (TRK7700_PORT_DIR oder ~/.config/trk7700/ports) "
               "werden die seriellen USB- und Bluetooth-Geräte (/dev/ttyUSB*, /dev/ttyACM*, /dev/rfcomm*) "
               "automatisch nummeriert, und " +
               (d.devices.empty() ? std::string("gerade ist keines vorhanden")
                                  : "gerade " + std::string(d.devices.size() == 1 ? "ist " : "sind ") +
                                        std::to_string(d.devices.size()) + " vorhanden" + present) +
               ". Bitte prüfen, ob der Logger angeschlossen und eingeschaltet ist, oder ihm in "
               "~/.config/trk7700/ports eine Nummer geben.";
    }
    case Reason::unplugged:
        return d.port + " ist fort: das Gerät wurde abgezogen. Bitte den Logger wieder anschließen und erneut "
                        "versuchen.";
    case Reason::cannotLook: return d.port + " kann nicht untersucht werden: " + d.error + ".";
    case Reason::dangling:
        return d.port + ": das Gerät " + d.device +
               " gibt es nicht (der Verweis zeigt ins Leere). Der Logger ist abgezogen oder ausgeschaltet, oder der "
               "Verweis nennt das falsche Gerät; bitte ihn anschließen oder den Verweis mit „ln -sf“ berichtigen.";
    case Reason::permissionDenied:
        return d.port + " darf nicht benutzt werden: Zugriff verweigert" +
               (d.group.empty() ? std::string() : " (das Gerät gehört der Gruppe „" + d.group + "“)") +
               ". Serielle Geräte gehören der Gruppe „dialout“: bitte mit „sudo adduser $USER dialout“ beitreten "
               "und neu anmelden.";
    case Reason::notSerial:
        return d.port + " ist kein serielles Gerät, sondern " + kindWords(d.kind) +
               ". Bitte auf das Gerät des Loggers verweisen, z. B. /dev/ttyUSB0.";
    case Reason::inUse: return inUseWords(d);
    case Reason::noResponse:
        return d.port + " ist da, aber sein Gerät antwortet nicht (" + d.error +
               "). Bitte den Logger abziehen, wieder anschließen und erneut versuchen.";
    case Reason::cannotOpen: return d.port + " kann nicht geöffnet werden: " + d.error + ".";
    case Reason::opensNow:
        return d.port + " öffnet sich jetzt: er war kurz belegt, oder der Logger war nicht bereit. Bitte erneut "
                        "versuchen.";
    case Reason::missingOnWindows:
        return com + " gibt es auf diesem Computer nicht: der Logger ist abgezogen, oder sein Kabel hat eine andere "
                     "Nummer (der Geräte-Manager zeigt sie unter „Anschlüsse (COM & LPT)“).";
    }
    return d.port + " kann nicht geöffnet werden.";
}

}  // namespace trk7700::form
