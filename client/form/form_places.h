#pragma once
// The window's fixed places and its options file, for every view.
//
// The options file holds six lines ended by CR LF: the states of the five
// export check boxes (Google Earth, Ozi Explorer, GPX, date in file names, one
// file per mark) as numbers with a blank before them, then the target folder.
#include "form_view.h"

#include <array>
#include <optional>
#include <string>

namespace trk7700::form {

// The options file's name. The build tree's window reads and writes it in the
// current directory; an installed one keeps it in the user's configuration
// folder and takes over a file an earlier version left in the start folder.
inline constexpr char kOptionsFileName[] = "wayfolk-tool.ini";
// The firmware image the library looks for in the firmware folder.
inline constexpr char kFirmwareImageName[] = "TRK7700_Encode.Bin";

struct FormPlaces {
    std::string optionsFile = kOptionsFileName;        // written at the end
    std::string optionsFileToRead = kOptionsFileName;  // read at the start
    std::string defaultTargetFolder;                   // ~/Wayfolk, expanded
    std::string firmwareFolder;                        // ~/abcd/binfile/, expanded, with its separator at the end
    std::string voicePromptFolder;                     // absolute, with its separator at the end
};
// The places of this system; dataDirectory is where an installed tool keeps its voice prompts.
FormPlaces systemPlaces(const std::string &dataDirectory);

struct StoredOptions {
    // A line that is missing, not a number or not 0, 1 or 2 gives no value:
    // its check box keeps its state.
    std::array<std::optional<CheckState>, kExportOptionCount> checkBoxes;
    // No sixth line: no value, the folder field keeps its text.
    std::optional<std::string> folder;
};

// A file that is missing, unreadable or not a regular file gives no values at all.
StoredOptions readOptionsFile(const std::string &path);
// Replaces the file (never through a link planted under its name); false when it cannot be written.
bool writeOptionsFile(const std::string &path, const std::array<CheckState, kExportOptionCount> &checkBoxes,
                      const std::string &folder);

}  // namespace trk7700::form
