#include "sim/transcript.h"

#include <fstream>
#include <sstream>

namespace trk7700::sim {
namespace {

// The bytes of a "> 51 27 5A" or "< 51 5A" line after its time stamp.
void appendBytes(std::istringstream &fields, std::vector<uint8_t> &to)
{
    std::string hex;
    while (fields >> hex) to.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
}

}  // namespace

std::vector<RecordedSession> readTranscript(const std::string &path, std::string &error)
{
    std::vector<RecordedSession> sessions;
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return sessions;
    }
    std::string line;
    bool open = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string stamp, kind;
        if (!(fields >> stamp >> kind)) continue;
        if (kind == "#") {
            std::string rest;
            std::getline(fields, rest);
            // "# COM3 opened" starts a session, "# close" or a hang-up ends it.
            if (rest.find(" opened") != std::string::npos) {
                sessions.emplace_back();
                open = true;
            } else if (rest.find("close") != std::string::npos || rest.find("hung up") != std::string::npos) {
                open = false;
            }
            continue;
        }
        if (!open || (kind != ">" && kind != "<")) continue;
        RecordedSession &session = sessions.back();
        try {
            if (kind == ">") {
                if (session.exchanges.empty() || !session.exchanges.back().reply.empty())
                    session.exchanges.emplace_back();
                appendBytes(fields, session.exchanges.back().request);
            } else {
                appendBytes(fields, session.exchanges.empty() ? session.onOpen : session.exchanges.back().reply);
            }
        } catch (const std::exception &) {
            error = "not a transcript line: " + line;
            return {};
        }
    }
    if (sessions.empty() && error.empty()) error = path + " holds no session (no port was opened)";
    return sessions;
}

}  // namespace trk7700::sim
