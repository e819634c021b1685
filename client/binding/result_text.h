#pragma once
// How results are told to the user: the number, one blank and the result's
// name, for example "26 return_not_dump_mode".
#include <cstdint>
#include <string>

namespace trk7700::client {

// A value outside the result table gives the number alone.
std::string resultText(int32_t result);

}  // namespace trk7700::client
