#include "form_system.h"

#include "conversion/track_conversion.h"

#include <cstdlib>

namespace trk7700::form {

std::string homeFolder()
{
    const char *profile = std::getenv("USERPROFILE");
    return profile != nullptr && *profile != '\0' ? profile : ".";
}

// Windows names its ports itself; the explanation of COM1 says how to find them.
int firstPortWithEntry(int) { return 0; }

std::string gpsBabelInstallHint()
{
    return "GPSBabel gibt es unter https://www.gpsbabel.org/download.html; nach der Installation wird gpsbabel.exe "
           "im Suchpfad oder im Ordner GPSBabel unter den Programmen gefunden.";
}

}  // namespace trk7700::form
