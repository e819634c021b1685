#include "form_system.h"

#include <cstdlib>

namespace trk7700::form {

std::string homeFolder()
{
    const char *profile = std::getenv("USERPROFILE");
    return profile != nullptr && *profile != '\0' ? profile : ".";
}

// Windows names its ports itself; the explanation of COM1 says how to find them.
int firstPortWithEntry(int) { return 0; }

}  // namespace trk7700::form
