#pragma once
// What differs between systems for the form model: form_system_posix.cpp and
// form_system_windows.cpp.
#include <string>

namespace trk7700::form {

// The user's home folder (HOME; on Windows the profile folder).
std::string homeFolder();
// The first COM number from 1 to highest whose port has an entry, 0 when none.
int firstPortWithEntry(int highest);
// In German: how this system's user gets GPSBabel when it cannot be started.
std::string gpsBabelInstallHint();

}  // namespace trk7700::form
