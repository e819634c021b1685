#pragma once
// Where the files that ship with the tools are found: beside the executable
// in the build tree, under the installed data directory otherwise.
#include <string>

namespace trk7700::client {

// The folder of the running executable (from /proc/self/exe), or empty.
std::string executableFolder();

// The voice prompt folder, absolute and ending in '/': wav/ beside the
// executable when it exists there, else <dataDirectory>/wav/.
std::string voicePromptFolder(const std::string &dataDirectory);

}  // namespace trk7700::client
