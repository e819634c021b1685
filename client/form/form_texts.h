#pragma once
// The window's German texts, in one catalogue: message boxes, questions, the
// status line and the labels the model fills. The texts of the logger's
// original tool keep their quirks on purpose ("Wayfolk Antwortet nicht",
// "Please select COM port", "Auslese Modus gesperrt !", the spacing of
// "Verbunden mit COM  = "): users and manuals know them as they are.
// Everything added around them says in German what happened and what to do.
#include <string>
#include <vector>

namespace trk7700::form {

enum class TextId {
    // Message boxes as the tool has always shown them
    selectComPort,          // "Bitte Com Port auswählen."
    selectComPortSettings,  // "Please select COM port"
    comPortNotFound,        // "Com Port nicht gefunden, oder belegt."
    dumpModeBusy,           // "Auslesemodus belegt. Wayfolk bitte neustarten."
    cannotOpenComPort,      // "Kann Com Port nicht öffnen !"
    dumpModeLocked,         // "Auslese Modus gesperrt !"
    connectionError,        // "Verbindungsfehler %1"
    libraryResult,          // "%1": a result's number and name
    plain,                  // "%1": a text made elsewhere (the binding's failure)
    readoutDone,            // "Fertig ausgelesen"
    eraseQuestion,          // "Alle Daten im Wayfolk löschen?"
    eraseDone,              // "Daten im Wayfolk erfolgreich gelöscht"
    notConnected,           // "Nicht verbunden"
    loggerNoAnswer,         // "Wayfolk Antwortet nicht"
    upgradeQuestion,        // "Firmware %1 durch %2 ersetzen?"
    upgradeFinish,          // "F/W Upgrade Finish,Please Remove USB Cable"
    settingsStored,         // "Daten erfolgreich gespeichert"
    // Messages of this tool
    folderMissing,
    folderCannotBeMade,
    emptyLoggerKept,
    cannotPlaceText,
    trackTextMissing,
    fileNotWritable,
    gpsBabelCannotStart,
    fieldNotWhole,
    settingsNotStored,
    optionsNotStored,
    closeDuringReadout,
    // Details under a message
    eraseNotReadOut,
    upgradeKeepConnected,
    // Status line
    connecting,
    searching,
    leavingDumpMode,
    leftDumpMode,
    ending,
    checkingConnection,
    readingInformation,
    readingSettings,
    storingSettings,
    readingImage,
    upgrading,
    readingLibraryVersion,
    readingGpsTime,
    erasing,
    elapsed,  // "%1 %2": what runs and for how long
    waitingForLogger,
    readingLog,
    readingLogLeft,
    orderingRecords,
    writingText,
    writingNmea,
    startingGpsBabel,
    progressBar,
    pointsRead,
    pointsReadIn,
    mapPageWritten,
    mapPageNotWritten,
    mapPageCannotOpen,
    alreadyConnected,
    noLoggerOnAnyPort,
    connectionLost,
    informationIncomplete,
    settingsNotRead,
    notErased,
    eraseUnclear,
    upgradeCancelled,
    upgradeSent,
    upgradeNotConfirmed,
    upgradeChecksum,
    upgradeUnclear,
    nothingSent,
    libraryVersionUnknown,
    gpsTimeShown,
    gpsTimeNotConnected,
    gpsTimeInvalid,
    gpsTimeUnknown,
    storeNoAnswer,
    storeChecksum,
    storeUnclear,
    hiddenButtonFocus,
    closingAfterReadout,
    closingAfterCommand,
    imageFolderMissing,
    imageMissing,
    imageSize,
    imageWrong,
    imageChecksum,
    pcMemory,
    imageUnreadable,
    readoutFailed,
    rolloverQuestion,
    rolloverQuestionDetails,
    rolloverCorrected,
    brokenOffPartKept,
    brokenOffPartNotKept,
    // Labels
    portCaption,        // "Com Port wählen:"
    connectedTo,        // "Verbunden mit COM  = %1"
    serialNumber,       // "Seriennummer = %1"
    firmwareVersion,    // "FW Ver = %1"
    imageVersion,       // "Bin File FW Version = %1"
    libraryVersion,     // "DLL Version = %1"
    gpsTime,            // " GPS UTC Time = %1:%2:%3,   %4,%5,%6"
    firmwareFilePlace,  // " Firmware file is in  %1"
    unknownVersion,     // "(Version unbekannt)"
    // Tool tips of the settings fields
    timeFieldTip,
    distanceFieldTip,
    minSpeedFieldTip,
    // Field names with their unit, for messages
    timeFieldName,
    distanceFieldName,
    minSpeedFieldName,
};

// The text with %1, %2, ... replaced by the arguments, in UTF-8.
std::string text(TextId id, const std::vector<std::string> &arguments = {});

// A message box or question: its first line, with what happened and what to do beneath.
struct Message {
    TextId id = TextId::plain;
    std::vector<std::string> arguments;
    std::string details;  // already worded; may be empty
    // A notice that ends a command and asks nothing ("Fertig ausgelesen"): a
    // view may show it without waiting, so that it never holds up a close.
    bool notice = false;
    bool operator==(const Message &) const = default;
};

// What the box shows: the first line, then a blank line and the details.
std::string fullText(const Message &message);

}  // namespace trk7700::form
