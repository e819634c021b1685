#pragma once
// A page opened in headless Chromium as a user's browser would open it, but
// with no way out to the network: every host name resolves to nothing, so the
// page must draw from what it holds. A profile of its own per run.
#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace trk7700::testing {

inline const char *kChromium = "/usr/bin/chromium";

inline bool chromiumInstalled() { return std::filesystem::exists(kChromium); }

// The page's DOM after its scripts ran (within virtualMilliseconds of page
// time); empty when Chromium failed.
inline std::string renderedDom(const std::filesystem::path &page, int virtualMilliseconds = 10000)
{
    TempDir profile;
    const auto dom = profile / "dom.html";
    const std::string command =
        std::string("timeout 120 ") + kChromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " '--host-resolver-rules=MAP * ~NOTFOUND' --user-data-dir='" +
        (profile / "profile").string() + "' --virtual-time-budget=" + std::to_string(virtualMilliseconds) +
        " --dump-dom 'file://" + std::filesystem::absolute(page).string() + "' > '" + dom.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    return readFile(dom);
}

inline size_t occurrences(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace trk7700::testing
