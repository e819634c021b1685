#include "form_places.h"

#include "binding/shipped_files.h"
#include "conversion/file_ops.h"
#include "form_system.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace trk7700::form {

namespace {

// A check-box line holds a whole number, blanks around it allowed.
std::optional<CheckState> parseCheckState(const std::string &line)
{
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::string digits = line.substr(first, last - first + 1);
    if (digits.size() != 1 || digits[0] < '0' || digits[0] > '2') return std::nullopt;
    return static_cast<CheckState>(digits[0] - '0');
}

}  // namespace

StoredOptions readOptionsFile(const std::string &path)
{
    StoredOptions stored;
    // Only a regular file: a FIFO planted under the name would block the start.
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return stored;
    std::ifstream file(path, std::ios::binary);
    if (!file) return stored;
    std::stringstream content;
    content << file.rdbuf();
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(content, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    for (size_t i = 0; i < kExportOptionCount && i < lines.size(); ++i)
        stored.checkBoxes[i] = parseCheckState(lines[i]);
    if (lines.size() > kExportOptionCount) stored.folder = lines[kExportOptionCount];
    return stored;
}

bool writeOptionsFile(const std::string &path, const std::array<CheckState, kExportOptionCount> &checkBoxes,
                      const std::string &folder)
{
    std::string content;
    // Numbers are written with a blank in the sign position: " 0", " 1".
    for (CheckState state : checkBoxes) content += " " + std::to_string(static_cast<int>(state)) + "\r\n";
    content += folder + "\r\n";
    // Written beside it and renamed over it: a link planted under the name is
    // replaced, not followed, and a full disk leaves the earlier file.
    const std::string scratch = path + ".new";
    std::error_code ec;
    // An installed window's first write makes its configuration folder.
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    std::filesystem::remove(scratch, ec);
    {
        std::ofstream file(scratch, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file << content;
        file.flush();
        if (!file) {
            file.close();
            std::filesystem::remove(scratch, ec);
            return false;
        }
    }
    std::string error;
    if (!client::replaceFile(scratch, path, error)) {
        std::filesystem::remove(scratch, ec);
        return false;
    }
    return true;
}

FormPlaces systemPlaces(const std::string &dataDirectory)
{
    FormPlaces places;
    const std::string home = homeFolder();
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    places.defaultTargetFolder = home + separator + "Wayfolk";
    places.firmwareFolder = home + separator + "abcd" + separator + "binfile" + separator;
    places.voicePromptFolder = client::voicePromptFolder(dataDirectory);
    const client::OptionsFilePlaces options =
        client::optionsFilePlaces(kOptionsFileName, client::executableFolder(), client::userConfigFolder());
    places.optionsFile = options.write;
    places.optionsFileToRead = options.read;
    return places;
}

}  // namespace trk7700::form
