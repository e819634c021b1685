#pragma once
// Where the files that ship with the tools are found: beside the executable
// in the build tree, under the installed data directory otherwise.
#include <string>
#include <vector>

namespace trk7700::client {

// The folder of the running executable, or empty: from /proc/self/exe
// (executable_folder_posix.cpp) or GetModuleFileNameA
// (executable_folder_windows.cpp).
std::string executableFolder();

// Where the library is loaded from: a bare file name is looked for beside the
// executable, then in ../lib/trk7700 and ../lib from it (an install), then by the dynamic
// loader's own search. A name with a '/' is used as it is.
std::vector<std::string> libraryCandidates(const std::string &fileName);

// The voice prompt folder, absolute and ending in the system's separator: wav/ beside the
// executable, else ../share/wayfolk-tool/wav/ from it, else <dataDirectory>/wav/.
std::string voicePromptFolder(const std::string &dataDirectory);

// Where the desktop tool reads and writes its options file `fileName`. An
// installed tool (anywhere but a build tree, which has CMakeCache.txt above
// the executable's folder) keeps it in `configFolder`; until it has written
// one there, it reads the file an earlier version left in the start folder, so
// an update loses no options. In the build tree both are `fileName` in the
// start folder.
struct OptionsFilePlaces {
    std::string read;
    std::string write;
};
OptionsFilePlaces optionsFilePlaces(const std::string &fileName, const std::string &executableFolder,
                                    const std::string &configFolder);

}  // namespace trk7700::client
