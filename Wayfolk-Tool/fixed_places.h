#pragma once
// The tool's fixed places on Linux.
#include <QString>

namespace wayfolk {

// The options file's name. The build tree's tool reads and writes it in the
// current directory; an installed one keeps it in ~/.config/trk7700/.
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
// The options file to read at the start: the one the tool writes, or, for an
// installed tool that has written none yet, one left in the start folder.
QString optionsFileToRead();
// The options file to write at the end; its folder is made when missing.
QString optionsFileToWrite();

}  // namespace wayfolk
