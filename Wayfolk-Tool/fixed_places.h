#pragma once
// The tool's fixed places on Linux.
#include <QString>

namespace wayfolk {

// The options file, read and written in the current directory.
inline constexpr char kOptionsFileName[] = "wayfolk-tool.ini";
// The firmware image the library looks for in the firmware folder.
inline constexpr char kFirmwareImageName[] = "TRK7700_Encode.Bin";

// ~/Wayfolk, expanded: the target folder when none is stored.
QString defaultTargetFolder();
// ~/abcd/binfile/, expanded: where the firmware image is looked for.
QString firmwareFolder();
// The voice prompt folder that ships with the tool, absolute and ending in
// '/': wav/ beside the executable (build tree), else under the installed data
// directory.
QString voicePromptFolder();

}  // namespace wayfolk
