#pragma once
// A transcript the library wrote with TRK7700_TRACE=FILE, read back as the
// sessions of the logger it talked to: what the logger sent when the port was
// opened, then each request and the reply that followed it. The simulator's
// replay answers request by request as the recorded logger did.
#include <cstdint>
#include <string>
#include <vector>

namespace trk7700::sim {

struct RecordedExchange {
    std::vector<uint8_t> request;  // every byte sent until the logger answered
    std::vector<uint8_t> reply;    // every byte received until the next request
};

struct RecordedSession {
    std::vector<uint8_t> onOpen;  // received before anything was sent: the banner and what came with it
    std::vector<RecordedExchange> exchanges;
};

// The sessions in order, one for each port the library opened; error is set
// when the file cannot be read or holds no session.
std::vector<RecordedSession> readTranscript(const std::string &path, std::string &error);

}  // namespace trk7700::sim
