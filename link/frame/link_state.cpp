#include "frame/link_state.h"

namespace trk7700 {

LinkState &linkState()
{
    // Static storage: the log image needs no stack, and the state exists from
    // the first call on (also for a test library's load-time hook).
    static LinkState state;
    return state;
}

void resetLinkState()
{
    LinkState &state = linkState();
    state.port = {};  // dropping the open device closes it
    state.dumpMode = {};
    {
        const std::lock_guard<std::mutex> guard(state.transcriptLock);
        if (state.transcript.file != nullptr) std::fclose(state.transcript.file);
        state.transcript = {};
    }
    state.testHooks = {};
}

}  // namespace trk7700
