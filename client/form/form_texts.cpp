#include "form_texts.h"

#include <utility>

namespace trk7700::form {

namespace {

struct Entry {
    TextId id;
    const char *text;
};

// In the order of TextId.
constexpr Entry kCatalogue[] = {
    {TextId::selectComPort, "Bitte Com Port auswählen."},
    {TextId::selectComPortSettings, "Please select COM port"},
    {TextId::comPortNotFound, "Com Port nicht gefunden, oder belegt."},
    {TextId::dumpModeBusy, "Auslesemodus belegt. Wayfolk bitte neustarten."},
    {TextId::cannotOpenComPort, "Kann Com Port nicht öffnen !"},
    {TextId::dumpModeLocked, "Auslese Modus gesperrt !"},
    {TextId::connectionError, "Verbindungsfehler %1"},
    {TextId::libraryResult, "%1"},
    {TextId::plain, "%1"},
    {TextId::readoutDone, "Fertig ausgelesen"},
    {TextId::eraseQuestion, "Alle Daten im Wayfolk löschen?"},
    {TextId::eraseDone, "Daten im Wayfolk erfolgreich gelöscht"},
    {TextId::notConnected, "Nicht verbunden"},
    {TextId::loggerNoAnswer, "Wayfolk Antwortet nicht"},
    {TextId::upgradeQuestion, "Firmware %1 durch %2 ersetzen?"},
    {TextId::upgradeFinish, "F/W Upgrade Finish,Please Remove USB Cable"},
    {TextId::settingsStored, "Daten erfolgreich gespeichert"},
    {TextId::folderMissing,
     "Kein Zielordner angegeben. Bitte mit „Durchsuchen“ einen Ordner wählen oder ihn in das Feld eintragen. Es wurde "
     "nichts ausgelesen."},
    {TextId::folderCannotBeMade, "Der Ordner %1 kann nicht angelegt werden. Es wurde nichts ausgelesen."},
    {TextId::emptyLoggerKept, "%1"},
    {TextId::cannotPlaceText,
     "Die ausgelesene Textdatei kann nicht abgelegt werden (%1). Die Daten liegen in %2; es wurde nichts umgewandelt."},
    {TextId::trackTextMissing, "Die Textdatei %1 ist nicht vorhanden. Es wurde nichts umgewandelt."},
    {TextId::fileNotWritable, "Die Datei %1 kann nicht geschrieben werden. Bitte Ordner und freien Platz prüfen."},
    {TextId::gpsBabelCannotStart,
     "Das Programm \"%1\" (GPSBabel) kann nicht gestartet werden, daher entstehen keine KML-, PLT- oder GPX-Dateien. "
     "%2"},
    {TextId::fieldNotWhole,
     "%1 nimmt eine ganze Zahl von %2 bis %3 %4; „%5“ ist keine solche Zahl. Bitte korrigieren und erneut "
     "speichern. Es wurde nichts gespeichert."},
    {TextId::settingsNotStored, "%1 Es wurde nichts gespeichert."},
    {TextId::optionsNotStored, "Die Optionen können nicht in %1 gespeichert werden."},
    {TextId::closeDuringReadout,
     "Der Download läuft noch. Abbrechen und das Programm beenden?\n\nJa: das Programm endet sofort; die Dateien "
     "früherer Auslesungen bleiben unverändert, diese Auslesung geht verloren.\nNein: das Fenster schließt sich, "
     "sobald der Download beendet und umgewandelt ist."},
    {TextId::eraseNotReadOut,
     "Das Log wurde seit dem Verbinden nicht ausgelesen: seine Aufzeichnungen gehen verloren."},
    {TextId::upgradeKeepConnected, "Der Logger darf während des Updates nicht getrennt werden."},
    {TextId::connecting, "Verbinde..."},
    {TextId::searching, "Suche Logger..."},
    {TextId::leavingDumpMode, "Verlasse Dump Mode..."},
    {TextId::leftDumpMode,
     "Dump Mode verlassen; der Logger ist nicht mehr verbunden. Zum Weiterarbeiten „Verbinden“ oder „Auto. "
     "Verbinden“ klicken."},
    {TextId::ending, "Beende..."},
    {TextId::checkingConnection, "Prüfe die Verbindung zum Logger..."},
    {TextId::readingInformation, "Lese Geräteinformation..."},
    {TextId::readingSettings, "Lese Einstellungen..."},
    {TextId::storingSettings, "Speichere Einstellungen..."},
    {TextId::readingImage, "Lese Firmware-Datei..."},
    {TextId::upgrading, "Aktualisiere Firmware..."},
    {TextId::readingLibraryVersion, "Lese DLL-Version..."},
    {TextId::readingGpsTime, "Lese GPS-Zeit..."},
    {TextId::erasing, "Lösche Daten im Wayfolk..."},
    {TextId::elapsed, "%1 %2"},
    {TextId::waitingForLogger, "Warte auf den Logger... %1"},
    {TextId::readingLog, "Lese Log... %1"},
    {TextId::readingLogLeft, "Lese Log... %1, noch etwa %2"},
    {TextId::orderingRecords, "Ordne die Aufzeichnungen... %1"},
    {TextId::writingText, "Schreibe die Textdatei... %1"},
    {TextId::writingNmea, "Schreibe die NMEA-Dateien..."},
    {TextId::startingGpsBabel, "GPSBabel erstellt %1 ..."},
    {TextId::progressBar, "%p % · %1 von %2 MB"},
    {TextId::pointsRead, "Fertig ausgelesen: %1 Punkte"},
    {TextId::pointsReadIn, "Fertig ausgelesen: %1 Punkte in %2"},
    {TextId::mapPageWritten, "Karte: %1"},
    {TextId::mapPageNotWritten, "Die Karte %1 konnte nicht geschrieben werden: %2"},
    {TextId::mapPageCannotOpen, "Die Karte %1 lässt sich nicht öffnen."},
    {TextId::alreadyConnected,
     "Der Logger ist schon verbunden; eine zweite Verbindung gibt es nicht. Zum Wechseln erst „Exit Dump Mode“."},
    {TextId::noLoggerOnAnyPort, "Auf keinem Port antwortet ein Logger. %1"},
    {TextId::connectionLost,
     "Die Verbindung zum Logger ist getrennt. Bitte den Logger anschließen und „Verbinden“ oder „Auto. Verbinden“ "
     "klicken."},
    {TextId::informationIncomplete,
     "Die Geräteinformation kam nicht ganz an; Seriennummer und Firmware-Version sind unbekannt."},
    {TextId::settingsNotRead, "Die Einstellungen konnten nicht gelesen werden; die Seite zeigt sie nicht."},
    {TextId::notErased, "Nicht gelöscht: die Daten im Wayfolk bleiben erhalten."},
    {TextId::eraseUnclear,
     "Ob die Daten im Wayfolk gelöscht wurden, ist unklar. Bitte neu verbinden und das Log auslesen."},
    {TextId::upgradeCancelled, "Firmware-Update abgebrochen; es wurde nichts gesendet."},
    {TextId::upgradeSent,
     "Firmware %1 gesendet; der Logger startet neu. Danach „Verbinden“ klicken, um seine Version zu lesen."},
    {TextId::upgradeNotConfirmed,
     "Der Logger hat das Update nicht bestätigt. Bitte die Verbindung prüfen und das Update wiederholen."},
    {TextId::upgradeChecksum,
     "Der Logger hat die Firmware wegen eines Prüfsummenfehlers nicht übernommen. Bitte das Update wiederholen."},
    {TextId::upgradeUnclear,
     "Ob die Firmware übernommen wurde, ist unklar. Bitte neu verbinden und die Version prüfen."},
    {TextId::nothingSent, "%1 Es wurde nichts gesendet."},
    {TextId::libraryVersionUnknown, "Die Version der Bibliothek ist unbekannt."},
    {TextId::gpsTimeShown, "%1 (Stunde:Minute:Sekunde, Tag,Monat,Jahr)"},
    {TextId::gpsTimeNotConnected, "Nicht verbunden. Bitte zuerst „Verbinden“ oder „Auto. Verbinden“ klicken."},
    {TextId::gpsTimeInvalid,
     "Der Logger hat noch keine gültige GPS-Zeit. Bitte warten, bis er Empfang hat, und erneut lesen."},
    {TextId::gpsTimeUnknown, "Die GPS-Zeit ist unbekannt."},
    {TextId::storeNoAnswer,
     "Der Logger hat nicht geantwortet; die Einstellungen wurden nicht gespeichert. Bitte die Verbindung prüfen und "
     "erneut speichern."},
    {TextId::storeChecksum,
     "Der Logger hat die Einstellungen wegen eines Prüfsummenfehlers nicht übernommen. Bitte erneut speichern."},
    {TextId::storeUnclear,
     "Ob die Einstellungen gespeichert wurden, ist unklar. Bitte neu verbinden: die Seite zeigt dann, was der Logger "
     "hat."},
    {TextId::hiddenButtonFocus, "Tastaturfokus: „%1“ (unter dem Foto), die Leertaste drückt die Taste."},
    {TextId::closingAfterReadout, "Das Fenster schließt sich, sobald der Download beendet und umgewandelt ist."},
    {TextId::closingAfterCommand, "Das Fenster schließt sich, sobald der laufende Befehl beendet ist."},
    {TextId::imageFolderMissing, "Den Ordner %1 gibt es nicht, oder er kann nicht geöffnet werden."},
    {TextId::imageMissing, "%1 fehlt oder kann nicht gelesen werden. Bitte das Abbild dort ablegen."},
    {TextId::imageSize, "%1 hat nicht die Größe eines Firmware-Abbilds (65536 Bytes)."},
    {TextId::imageWrong, "%1 ist kein Firmware-Abbild für diesen Logger."},
    {TextId::imageChecksum,
     "Die Prüfsumme von %1 stimmt nicht, die Datei ist beschädigt. Bitte das Abbild neu herunterladen."},
    {TextId::pcMemory, "Zu wenig Arbeitsspeicher. Bitte andere Programme schließen."},
    {TextId::imageUnreadable, "Das Firmware-Abbild kann nicht gelesen werden."},
    {TextId::readoutFailed,
     "Das Log wurde nicht ausgelesen; die Dateien früherer Auslesungen bleiben unverändert. Bitte die Verbindung "
     "zum Logger prüfen und erneut „Log Auslesen“ klicken."},
    {TextId::rolloverQuestion,
     "Die neueste Aufzeichnung ist vom %1, mehr als 1024 Wochen vor heute. Die Daten sind wohl 1024 Wochen zu früh "
     "(GPS-Wochenüberlauf des Empfängers im Logger). Sollen die Daten korrigiert werden?"},
    {TextId::rolloverQuestionDetails,
     "„Ja“ verschiebt sie in der NMEA-Datei, den Markierungsdateien und den KML-, PLT- und GPX-Dateien um 1024 "
     "Wochen; die Textdatei behält sie, wie der Logger sie gab."},
    {TextId::rolloverCorrected, "Daten von %1 Aufzeichnungen um 1024 Wochen korrigiert"},
    {TextId::brokenOffPartKept,
     "Die %1 Aufzeichnungen, die vor dem Abbruch ankamen, liegen in %2. Die üblichen Dateien daraus macht: "
     "trk7700 convert %2 ORDNER"},
    {TextId::brokenOffPartNotKept,
     "Die %1 Aufzeichnungen, die vor dem Abbruch ankamen, konnten nicht unter eigenem Namen aufbewahrt werden: %2"},
    {TextId::portCaption, "Com Port wählen:"},
    {TextId::connectedTo, "Verbunden mit COM  = %1"},
    {TextId::serialNumber, "Seriennummer = %1"},
    {TextId::firmwareVersion, "FW Ver = %1"},
    {TextId::imageVersion, "Bin File FW Version = %1"},
    {TextId::libraryVersion, "DLL Version = %1"},
    {TextId::gpsTime, " GPS UTC Time = %1:%2:%3,   %4,%5,%6"},
    {TextId::firmwareFilePlace, " Firmware file is in  %1"},
    {TextId::unknownVersion, "(Version unbekannt)"},
    {TextId::timeFieldTip, "Es wird alle X Sekunden ein Log geschrieben (%1 bis %2 Sekunden)."},
    {TextId::distanceFieldTip, "Es wird alle X Meter ein Log geschrieben (%1 bis %2 Meter)."},
    {TextId::minSpeedFieldTip,
     "Mindestgeschwindigkeit die erreicht sein muss, damit ein Log geschrieben wird. 0= Geschwindigkeit egal (%1 bis "
     "%2 km/h)."},
    {TextId::timeFieldName, "Das Log-Intervall in Sekunden"},
    {TextId::distanceFieldName, "Das Log-Intervall in Metern"},
    {TextId::minSpeedFieldName, "Die Minimal Geschwindigkeit"},
};

constexpr bool catalogueInOrder()
{
    for (size_t i = 0; i < std::size(kCatalogue); ++i)
        if (static_cast<size_t>(kCatalogue[i].id) != i) return false;
    return std::size(kCatalogue) == static_cast<size_t>(TextId::minSpeedFieldName) + 1;
}
static_assert(catalogueInOrder(), "every TextId has its text, in the order of the enumeration");

}  // namespace

std::string text(TextId id, const std::vector<std::string> &arguments)
{
    const std::string pattern = kCatalogue[static_cast<size_t>(id)].text;
    std::string result;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next <= '9') {
            const size_t index = static_cast<size_t>(next - '1');
            if (index < arguments.size()) result += arguments[index];
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

std::string fullText(const Message &message)
{
    const std::string first = text(message.id, message.arguments);
    return message.details.empty() ? first : first + "\n\n" + message.details;
}

}  // namespace trk7700::form
