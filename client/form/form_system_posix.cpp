#include "form_system.h"

#include "conversion/track_conversion.h"

#include "serial/port_map.h"

#include <cstdlib>
#include <sys/stat.h>

namespace trk7700::form {

std::string homeFolder()
{
    const char *home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? home : ".";
}

int firstPortWithEntry(int highest)
{
    for (int number = 1; number <= highest; ++number) {
        const std::string entry = serial::resolvePortPath(number);
        struct stat info {};
        if (!entry.empty() && ::lstat(entry.c_str(), &info) == 0) return number;
    }
    return 0;
}

std::string gpsBabelInstallHint()
{
    return std::string("Bitte das Debian-Paket \"") + client::kGpsBabelPackage + "\" installieren (sudo apt install " +
           client::kGpsBabelPackage + ").";
}

}  // namespace trk7700::form
