#pragma once
// What trk7700 convert is given, known before anything is written: a track
// text as the library writes it, a raw log of the logger's memory (what a
// broken-off readout leaves as "DB.sr"), or an entry of the readout history
// (a complete compressed stream, by name or by path). Anything else is refused
// with a word of what it is not. Inputs are read where they lie.
#include <cstdint>
#include <string>

namespace trk7700::cli {

struct ConvertInput {
    enum class Kind { trackText, rawLog, historyEntry } kind = Kind::trackText;
    std::string path;  // the file to read: absolute, or the history entry's compressed file
};

// False, with what the input is not in refusal, when it is none of the three.
bool recognizeConvertInput(const std::string &given, ConvertInput &input, std::string &refusal);

// True when the file is a track text as the library writes it: the two
// header lines, then record lines (a 3-character mark, a comma and a GGA or
// RMC sentence with its right checksum), no longer than a track text of a
// full log. problem says what is wrong otherwise.
bool isTrackText(const std::string &path, std::string &problem);

}  // namespace trk7700::cli
