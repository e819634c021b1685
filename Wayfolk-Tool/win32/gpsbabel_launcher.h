// Starts GPSBabel on Windows: "gpsbabel.exe" from the program search path, or
// else from GPSBabel's usual install folder under Program Files.
#pragma once

#include "conversion/track_conversion.h"

namespace wayfolk::win32 {

class GpsBabelLauncher : public trk7700::client::ProgramLauncher {
public:
    bool startDetached(const std::string &program, const std::vector<std::string> &arguments,
                       std::string &error) override;

private:
    trk7700::client::DetachedLauncher detached_;
};

}  // namespace wayfolk::win32
