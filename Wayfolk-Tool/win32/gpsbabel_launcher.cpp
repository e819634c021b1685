#include "gpsbabel_launcher.h"

#include <windows.h>

#include <cstdlib>

namespace wayfolk::win32 {

namespace {

bool isFile(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The program by its bare name when the search path finds it; else its copy
// in a GPSBabel folder under Program Files; else the bare name (whose start
// then fails and is told).
std::string locate(const std::string &program)
{
    if (program.find_first_of("\\/:") != std::string::npos) return program;
    char found[MAX_PATH];
    if (SearchPathA(nullptr, program.c_str(), nullptr, MAX_PATH, found, nullptr) != 0) return program;
    for (const char *variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const char *folder = std::getenv(variable);
        if (folder == nullptr || *folder == '\0') continue;
        const std::string candidate = std::string(folder) + "\\GPSBabel\\" + program;
        if (isFile(candidate)) return candidate;
    }
    return program;
}

}  // namespace

bool GpsBabelLauncher::startDetached(const std::string &program, const std::vector<std::string> &arguments,
                                     std::string &error)
{
    return detached_.startDetached(locate(program), arguments, error);
}

}  // namespace wayfolk::win32
