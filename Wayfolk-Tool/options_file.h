#pragma once
// The options file: six lines ended by CR LF, the states of the five export
// check boxes (Google Earth, Ozi Explorer, GPX, date in file names, one file
// per mark) as numbers, then the target folder as plain text.
#include <QString>
#include <Qt>

#include <array>
#include <optional>

namespace wayfolk {

inline constexpr int kStoredCheckBoxes = 5;

struct StoredOptions {
    // A line that is missing, not a number or not 0, 1 or 2 gives no value:
    // its check box keeps its state.
    std::array<std::optional<Qt::CheckState>, kStoredCheckBoxes> checkBoxes;
    // No sixth line: no value, the folder field keeps its text.
    std::optional<QString> folder;
};

// A file that is missing or unreadable gives no values at all.
StoredOptions readOptionsFile(const QString &path);

// Replaces the file; false when it cannot be written.
bool writeOptionsFile(const QString &path, const std::array<Qt::CheckState, kStoredCheckBoxes> &checkBoxes,
                      const QString &folder);

}  // namespace wayfolk
