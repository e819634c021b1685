#pragma once
// An opt-in transcript of a session: with TRK7700_TRACE=FILE in the
// environment the library appends to FILE, with a UTC time stamp on every
// line, each byte it sends ("> ") and receives ("< ") in hexadecimal, what
// happens to the port ("# "), and the result of every entry point ("= ").
// Without the variable it writes nothing at all. `trk7700-sim --replay FILE`
// answers as the recorded logger did, so a transcript of a failure with a
// real logger becomes a test.
#include <cstdint>
#include <string>

namespace trk7700::trace {

bool enabled();
void sent(const uint8_t *bytes, int count);
void received(const uint8_t *bytes, int count);
void note(const std::string &text);
void result(const char *entryPoint, int32_t value);

// Test seam: trace into this file (empty: off), whatever the environment says,
// until resetLinkState().
void setFileForTesting(const std::string &path);

}  // namespace trk7700::trace
