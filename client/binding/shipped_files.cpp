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

OptionsFilePlaces optionsFilePlaces(const std::string &fileName, const std::string &executableFolder,
                                    const std::string &configFolder)
{
    std::error_code ec;
    // A CMake build tree holds its cache above bin/; no install does.
    const bool installed = !executableFolder.empty() && !configFolder.empty() &&
                           !std::filesystem::exists(executableFolder + "/../CMakeCache.txt", ec);
    if (!installed) return {fileName, fileName};
    const std::string stored = (std::filesystem::path(configFolder) / fileName).make_preferred().string();
    // Whatever lies under the new name counts as there: the reader refuses a
    // link or a FIFO itself, and an earlier file must not win over it.
    const bool storedThere =
        std::filesystem::symlink_status(stored, ec).type() != std::filesystem::file_type::not_found;
    const bool earlierThere = std::filesystem::is_regular_file(fileName, ec);
    return {!storedThere && earlierThere ? fileName : stored, stored};
}

}  // namespace trk7700::client
