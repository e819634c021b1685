#include "result_words.h"

#include "TRK7700_DLL.h"
#include "binding/result_text.h"
#include "fixed_places.h"

namespace wayfolk {

QString resultWords(int32_t result, const QString &sentence)
{
    return QString::fromStdString(trk7700::client::resultText(result)) + QStringLiteral(": ") + sentence;
}

QString connectionLostWords()
{
    return QStringLiteral("Die Verbindung zum Logger ist getrennt. Bitte den Logger anschließen und „Verbinden“ oder "
                          "„Auto. Verbinden“ klicken.");
}

QString imageFailureWords(int32_t result)
{
    const QString image = firmwareFolder() + QString::fromLatin1(kFirmwareImageName);
    switch (result) {
    case return_error_bin_file_path:
        return resultWords(
            result,
            QStringLiteral("Den Ordner %1 gibt es nicht, oder er kann nicht geöffnet werden.").arg(firmwareFolder()));
    case return_can_not_open_bin_file:
        return resultWords(
            result,
            QStringLiteral("%1 fehlt oder kann nicht gelesen werden. Bitte das Abbild dort ablegen.").arg(image));
    case return_bin_file_size_error:
        return resultWords(result,
                           QStringLiteral("%1 hat nicht die Größe eines Firmware-Abbilds (65536 Bytes).").arg(image));
    case return_not_correct_bin_file:
        return resultWords(result, QStringLiteral("%1 ist kein Firmware-Abbild für diesen Logger.").arg(image));
    case return_bin_file_checksum_error:
        return resultWords(result, QStringLiteral("Die Prüfsumme von %1 stimmt nicht, die Datei ist beschädigt. Bitte "
                                                  "das Abbild neu herunterladen.")
                                       .arg(image));
    case return_pc_not_enough_memory:
        return resultWords(result, QStringLiteral("Zu wenig Arbeitsspeicher. Bitte andere Programme schließen."));
    default: return resultWords(result, QStringLiteral("Das Firmware-Abbild kann nicht gelesen werden."));
    }
}

}  // namespace wayfolk
