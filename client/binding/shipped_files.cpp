#include "binding/shipped_files.h"

#include <filesystem>

namespace trk7700::client {

std::vector<std::string> libraryCandidates(const std::string &fileName)
{
    if (fileName.find('/') != std::string::npos) return {fileName};
    std::vector<std::string> candidates;
    const std::string folder = executableFolder();
    std::error_code ec;
    for (const std::string &place : {folder, folder + "/../lib/trk7700", folder + "/../lib"})
        if (!folder.empty() && std::filesystem::exists(place + "/" + fileName, ec))
            candidates.push_back(place + "/" + fileName);
    candidates.push_back(fileName);
    return candidates;
}

std::string voicePromptFolder(const std::string &dataDirectory)
{
    std::error_code ec;
    const std::string folder = executableFolder();
    if (!folder.empty()) {
        // The build tree keeps wav/ beside the executables; an install keeps it
        // under share/wayfolk-tool/ beside bin/, wherever it was installed to.
        for (const std::string &place : {folder + "/wav", folder + "/../share/wayfolk-tool/wav"})
            if (std::filesystem::is_directory(place, ec))
                return std::filesystem::weakly_canonical(place, ec).make_preferred().string() +
                       static_cast<char>(std::filesystem::path::preferred_separator);
    }
    return dataDirectory + "/wav/";
}

}  // namespace trk7700::client
