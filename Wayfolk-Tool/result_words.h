#pragma once
// Words for the status line about a library result: the number and name,
// then what it means or what to do. For results that no message box tells,
// and for readouts whose labels lie under the device photo.
#include <QString>

#include <cstdint>

namespace wayfolk {

// "<number> <name>: <sentence>"
QString resultWords(int32_t result, const QString &sentence);

// The window found the library without a connection: what to do.
QString connectionLostWords();

// What a failed check of the firmware image means, naming the file.
QString imageFailureWords(int32_t result);

}  // namespace wayfolk
